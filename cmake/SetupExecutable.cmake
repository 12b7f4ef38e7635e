# Building a setup executable: an installer-material folder and a product folder become the
# SETUP and PRODUCT packages (packed by the host's ipk5) and are linked into the executable as
# RT_RCDATA resources, together with the application manifest and a version resource made from
# the material's Install.xml. The uninstaller that an installation writes as Uninstall.exe is
# built first from the same sources without the PRODUCT package (target <target>_uninstaller),
# packed and linked in as the resource UNINSTALLER. Beside the executable, the folder
# <name>.winget receives the winget manifests of the built setup (SetupMetadata.cmake).
#
#   zuva_add_setup_executable(<target>
#     MATERIAL <folder>              installer material: Install.xml, *.lng, pictures, licenses...
#     [EXCLUDE <name>...]            file names of the material folder that are not material
#     [MATERIAL_FILES <file>...]     further SETUP entries (built programs), by their file names
#     PRODUCT <folder>               exactly the PRODUCT entries, under their entry names
#     [OUTPUT_NAME <name>]           the executable's name (default: the target's)
#     [DEPENDS <target>...]          targets that fill the folders or build the extra files
#     [LEVEL <0-9>]                  LZMA level of both packages (default 5)
#     [WINGET_ID <Publisher.Package>]  winget identifier (default: publisher and product name)
#     [WINGET_URL <https://...>]     where the vendor publishes the setup (default: home page + name)
#     [WINGET_LICENSE <text>]        license named in the manifest (default "Proprietary")
#     [WINGET_DESCRIPTION <text>]    short description (default: the product name)
#     [SIGN_CERT <file>]             code-signing certificate (PEM or DER, with its chain), default
#                                    ZUVA_SIGN_CERT; without one nothing is signed
#     [SIGN_KEY <file>]              its private key, default ZUVA_SIGN_KEY
#     [SIGN_PASSWORD_FILE <file>]    the key's password, default ZUVA_SIGN_PASSWORD_FILE
#     [SIGN_TIMESTAMP_URL <url>])    RFC 3161 time-stamping service, default ZUVA_SIGN_TIMESTAMP_URL
#
# With a certificate, osslsigncode signs the uninstaller before it is packed (the installed
# Uninstall.exe is those bytes, so it keeps its signature) and the setup after its symbols are
# stripped and before its manifests are written (they carry the hash of the signed program).
#
# The packages are rebuilt only when a file in the folders is added, removed, resized or touched.
# The host ipk5 comes from ZUVA_HOST_IPK5 when set, from this build when it is the host's, and
# otherwise from a host build of the tool that this build configures in <build>/host-tools.
#
# The same file run as a script (cmake -P) packs one folder; the function uses it that way.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
  # ---- script mode: -DIPK5= -DFOLDER= -DOUTPUT= -DLISTING= -DSTAGE= -DLEVEL= -DEXCLUDE=a|b
  #      -DEXTRA=/path/x|/path/y [-DINDEX=<file>: the package's listing, "ipk5 list", written beside it]
  string(REPLACE "|" ";" exclude "${EXCLUDE}")
  string(REPLACE "|" ";" extra "${EXTRA}")
  file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${FOLDER}" "${FOLDER}/*")
  list(SORT found)
  set(inputs)
  foreach(name IN LISTS found)
    if(NOT name IN_LIST exclude)
      list(APPEND inputs "${FOLDER}/${name}")
    endif()
  endforeach()
  foreach(file IN LISTS extra)
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "Package entry file missing: ${file}")
    endif()
    list(APPEND inputs "${file}")
  endforeach()
  if(NOT inputs)
    message(FATAL_ERROR "Nothing to pack in ${FOLDER}")
  endif()

  # What the package is made of: names, sizes and times. Equal to the last one: nothing to do.
  set(listing "level ${LEVEL}\n")
  foreach(file IN LISTS inputs)
    file(SIZE "${file}" size)
    file(TIMESTAMP "${file}" time "%Y%m%d%H%M%S" UTC)
    string(APPEND listing "${file}\t${size}\t${time}\n")
  endforeach()
  # The index of what the package holds, from the package itself, rewritten with it.
  function(write_index)
    if(INDEX)
      execute_process(COMMAND "${IPK5}" list "${OUTPUT}" OUTPUT_FILE "${INDEX}.new" RESULT_VARIABLE result)
      if(NOT result EQUAL 0)
        message(FATAL_ERROR "ipk5 list failed (${result}) for ${OUTPUT}")
      endif()
      file(COPY_FILE "${INDEX}.new" "${INDEX}" ONLY_IF_DIFFERENT)
      file(REMOVE "${INDEX}.new")
    endif()
  endfunction()

  if(EXISTS "${OUTPUT}" AND EXISTS "${LISTING}")
    file(READ "${LISTING}" previous)
    if(previous STREQUAL listing)
      if(INDEX AND NOT EXISTS "${INDEX}")
        write_index()
      endif()
      return()
    endif()
  endif()

  if(exclude OR extra)
    # Only the chosen files: they are gathered in a folder of their own first.
    file(REMOVE_RECURSE "${STAGE}")
    foreach(name IN LISTS found)
      if(NOT name IN_LIST exclude)
        get_filename_component(sub "${name}" DIRECTORY)
        file(COPY "${FOLDER}/${name}" DESTINATION "${STAGE}/${sub}")
      endif()
    endforeach()
    foreach(file IN LISTS extra)
      file(COPY "${file}" DESTINATION "${STAGE}")
    endforeach()
    set(source "${STAGE}")
  else()
    set(source "${FOLDER}")
  endif()
  execute_process(COMMAND "${IPK5}" pack -o "${OUTPUT}" -l ${LEVEL} -C "${source}" . RESULT_VARIABLE result
                  OUTPUT_QUIET)
  if(NOT result EQUAL 0)
    file(REMOVE "${LISTING}")
    message(FATAL_ERROR "ipk5 pack failed (${result}) for ${FOLDER}")
  endif()
  write_index()
  file(WRITE "${LISTING}" "${listing}")
  return()
endif()

set(ZUVA_SETUP_EXECUTABLE_SCRIPT ${CMAKE_CURRENT_LIST_FILE})
set(ZUVA_SETUP_METADATA_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/SetupMetadata.cmake)
set(ZUVA_SETUP_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../setup)
get_filename_component(ZUVA_SETUP_SOURCE_DIR ${ZUVA_SETUP_SOURCE_DIR} ABSOLUTE)
set(ZUVA_HOST_IPK5 "" CACHE FILEPATH "The host's ipk5 that packs setup packages (empty: build it)")
set(ZUVA_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate of the setups (empty: not signed)")
set(ZUVA_SIGN_KEY "" CACHE FILEPATH "Private key of the code-signing certificate")
set(ZUVA_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the private key's password (optional)")
set(ZUVA_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping service for signatures (optional)")

# Sets <var> to the host ipk5's path and <var>_TARGET to a target that provides it (or empty).
function(zuva_host_ipk5 var)
  if(ZUVA_HOST_IPK5)
    set(${var} ${ZUVA_HOST_IPK5} PARENT_SCOPE)
    set(${var}_TARGET "" PARENT_SCOPE)
  elseif(NOT CMAKE_CROSSCOMPILING AND TARGET ipk5)
    set(${var} $<TARGET_FILE:ipk5> PARENT_SCOPE)
    set(${var}_TARGET ipk5 PARENT_SCOPE)
  else()
    set(host_dir ${CMAKE_BINARY_DIR}/host-tools)
    if(NOT TARGET zuva_host_tools)
      include(ExternalProject)
      # A host configure of this same source tree; only the package tool is built.
      ExternalProject_Add(
        zuva_host_tools
        SOURCE_DIR ${PROJECT_SOURCE_DIR}
        BINARY_DIR ${host_dir}
        CMAKE_GENERATOR Ninja
        CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
        BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_dir} --target ipk5 -- -j2
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${host_dir}/tools/ipk5/ipk5)
    endif()
    set(${var} ${host_dir}/tools/ipk5/ipk5 PARENT_SCOPE)
    set(${var}_TARGET zuva_host_tools PARENT_SCOPE)
  endif()
endfunction()

# What every setup program is linked from and how it is finished: symbols moved aside, then,
# with a certificate (sign: the osslsigncode arguments before -in), signed.
function(zuva_link_setup_program target name)
  cmake_parse_arguments(ARG "" "" "SOURCES;SIGN" ${ARGN})
  add_executable(${target} WIN32 ${ZUVA_SETUP_SOURCE_DIR}/main.cpp ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE zuva_product zuva_ui)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  # wWinMain: the command line arrives as UTF-16.
  target_link_options(${target} PRIVATE -municode)

  # The shipped program carries no symbols: they stay beside it in <name>.exe.debug for crash
  # analysis, named in the program by a debug link as debuggers expect. Before the signature and
  # the manifests, which cover the stripped program.
  if(CMAKE_OBJCOPY AND CMAKE_STRIP)
    add_custom_command(
      TARGET ${target}
      POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
      COMMAND ${CMAKE_STRIP} --strip-debug --strip-unneeded $<TARGET_FILE:${target}>
      COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug $<TARGET_FILE:${target}>
      WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
      COMMENT "Moving the symbols of ${name} into ${name}.exe.debug"
      VERBATIM)
  endif()
  if(ARG_SIGN)
    # osslsigncode writes a new file; a failure leaves the link failed, so the next build links
    # and signs again instead of shipping the unsigned program.
    add_custom_command(
      TARGET ${target}
      POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E rm -f $<TARGET_FILE:${target}>.signed
      COMMAND ${ARG_SIGN} -in $<TARGET_FILE:${target}> -out $<TARGET_FILE:${target}>.signed
      COMMAND ${CMAKE_COMMAND} -E rename $<TARGET_FILE:${target}>.signed $<TARGET_FILE:${target}>
      COMMENT "Signing ${name}.exe"
      VERBATIM)
  endif()
endfunction()

function(zuva_add_setup_executable target)
  cmake_parse_arguments(
    ARG ""
    "MATERIAL;PRODUCT;OUTPUT_NAME;LEVEL;WINGET_ID;WINGET_URL;WINGET_LICENSE;WINGET_DESCRIPTION;SIGN_CERT;SIGN_KEY;SIGN_PASSWORD_FILE;SIGN_TIMESTAMP_URL"
    "EXCLUDE;MATERIAL_FILES;DEPENDS" ${ARGN})
  if(NOT ARG_MATERIAL OR NOT ARG_PRODUCT)
    message(FATAL_ERROR "zuva_add_setup_executable(${target}): MATERIAL and PRODUCT are required")
  endif()
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME ${target})
  endif()
  if(NOT ARG_LEVEL)
    set(ARG_LEVEL 5)
  endif()
  foreach(option IN ITEMS CERT KEY PASSWORD_FILE TIMESTAMP_URL)
    if(NOT DEFINED ARG_SIGN_${option})
      set(ARG_SIGN_${option} "${ZUVA_SIGN_${option}}")
    endif()
  endforeach()
  set(sign)
  if(ARG_SIGN_CERT)
    if(NOT ARG_SIGN_KEY)
      message(FATAL_ERROR "zuva_add_setup_executable(${target}): a signing certificate needs its key (SIGN_KEY)")
    endif()
    find_program(ZUVA_OSSLSIGNCODE osslsigncode)
    if(NOT ZUVA_OSSLSIGNCODE)
      message(FATAL_ERROR "Signing ${ARG_OUTPUT_NAME} needs osslsigncode (tools/install-deps.sh installs it)")
    endif()
    set(sign ${ZUVA_OSSLSIGNCODE} sign -h sha256 -certs ${ARG_SIGN_CERT} -key ${ARG_SIGN_KEY})
    # The password is read from its file: it never appears on a command line or in the build log.
    if(ARG_SIGN_PASSWORD_FILE)
      list(APPEND sign -readpass ${ARG_SIGN_PASSWORD_FILE})
    endif()
    if(ARG_SIGN_TIMESTAMP_URL)
      list(APPEND sign -ts ${ARG_SIGN_TIMESTAMP_URL})
    endif()
  endif()
  zuva_host_ipk5(ipk5)

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}.packages)
  file(MAKE_DIRECTORY ${dir})
  set(setup_package ${dir}/SETUP.ipk5)
  set(product_package ${dir}/PRODUCT.ipk5)
  # What the product package holds, so that the setup can answer it without decoding the package.
  set(product_index ${dir}/PRODUCT.index)
  string(JOIN "|" exclude ${ARG_EXCLUDE})
  string(JOIN "|" extra ${ARG_MATERIAL_FILES})

  # The version resource comes from the material's Install.xml.
  set(script ${ARG_MATERIAL}/Install.xml)
  set(version_rc ${dir}/version.rc)
  set(uninstaller_version_rc ${dir}/uninstaller-version.rc)
  set(uninstaller_package ${dir}/UNINSTALLER.ipk5)

  # Runs on every build, but rewrites a package (or the version resource) only when its files
  # changed; Ninja then sees it unchanged and links nothing anew.
  add_custom_target(
    ${target}_packages
    COMMAND
      ${CMAKE_COMMAND} -DIPK5=${ipk5} -DFOLDER=${ARG_MATERIAL} -DOUTPUT=${setup_package}
      -DLISTING=${dir}/SETUP.listing -DSTAGE=${dir}/SETUP.stage -DLEVEL=${ARG_LEVEL} "-DEXCLUDE=${exclude}"
      "-DEXTRA=${extra}" -P ${ZUVA_SETUP_EXECUTABLE_SCRIPT}
    COMMAND
      ${CMAKE_COMMAND} -DIPK5=${ipk5} -DFOLDER=${ARG_PRODUCT} -DOUTPUT=${product_package}
      -DLISTING=${dir}/PRODUCT.listing -DSTAGE=${dir}/PRODUCT.stage -DLEVEL=${ARG_LEVEL}
      -DINDEX=${product_index} -P ${ZUVA_SETUP_EXECUTABLE_SCRIPT}
    COMMAND ${CMAKE_COMMAND} -DMODE=resource -DIPK5=${ipk5} -DSCRIPT=${script} -DNAME=${ARG_OUTPUT_NAME}
            -DOUTPUT=${version_rc} -P ${ZUVA_SETUP_METADATA_SCRIPT}
    COMMAND ${CMAKE_COMMAND} -DMODE=resource -DIPK5=${ipk5} -DSCRIPT=${script} -DNAME=Uninstall
            -DOUTPUT=${uninstaller_version_rc} -P ${ZUVA_SETUP_METADATA_SCRIPT}
    BYPRODUCTS ${setup_package} ${product_package} ${product_index} ${version_rc} ${uninstaller_version_rc}
    COMMENT "Packing the SETUP and PRODUCT packages and writing the version resource of ${ARG_OUTPUT_NAME}"
    VERBATIM)
  if(ipk5_TARGET)
    add_dependencies(${target}_packages ${ipk5_TARGET})
  endif()
  if(ARG_DEPENDS)
    add_dependencies(${target}_packages ${ARG_DEPENDS})
  endif()

  set(ZUVA_SETUP_MANIFEST ${ZUVA_SETUP_SOURCE_DIR}/manifest.xml)
  set(ZUVA_SETUP_PACKAGE ${setup_package})
  set(ZUVA_PRODUCT_PACKAGE ${product_package})
  set(ZUVA_PRODUCT_INDEX ${product_index})
  set(ZUVA_UNINSTALLER_PACKAGE ${uninstaller_package})

  # The uninstaller: what it runs on is Uninstall.dat beside it, so it carries the installer
  # material and no product. Named as it is installed, since that name chooses its mode.
  set(ZUVA_SETUP_WITH_PRODUCT 0)
  set(uninstaller_rc ${dir}/uninstaller.rc)
  configure_file(${ZUVA_SETUP_SOURCE_DIR}/resources.rc ${uninstaller_rc} @ONLY)
  set_source_files_properties(${uninstaller_rc} PROPERTIES OBJECT_DEPENDS "${setup_package};${ZUVA_SETUP_MANIFEST}")
  zuva_link_setup_program(${target}_uninstaller Uninstall SOURCES ${uninstaller_rc} ${uninstaller_version_rc}
                          SIGN ${sign})
  add_dependencies(${target}_uninstaller ${target}_packages)
  set_target_properties(${target}_uninstaller PROPERTIES OUTPUT_NAME Uninstall RUNTIME_OUTPUT_DIRECTORY
                                                                             ${dir}/uninstaller)
  # Packed, as it was signed: the installation writes exactly these bytes.
  add_custom_command(
    OUTPUT ${uninstaller_package}
    COMMAND ${ipk5} pack -o ${uninstaller_package} -l ${ARG_LEVEL} -C $<TARGET_FILE_DIR:${target}_uninstaller>
            $<TARGET_FILE_NAME:${target}_uninstaller>
    DEPENDS ${target}_uninstaller
    COMMENT "Packing the uninstaller of ${ARG_OUTPUT_NAME}"
    VERBATIM)
  # A target of its own: as a source of the setup, the package would be made after the sources
  # that the libraries generate for every program (skins), which the uninstaller needs first.
  add_custom_target(${target}_uninstaller_package DEPENDS ${uninstaller_package})

  set(ZUVA_SETUP_WITH_PRODUCT 1)
  set(rc ${dir}/resources.rc)
  configure_file(${ZUVA_SETUP_SOURCE_DIR}/resources.rc ${rc} @ONLY)
  set_source_files_properties(
    ${rc} PROPERTIES OBJECT_DEPENDS
                     "${setup_package};${product_package};${product_index};${uninstaller_package};${ZUVA_SETUP_MANIFEST}")

  zuva_link_setup_program(${target} ${ARG_OUTPUT_NAME} SOURCES ${rc} ${version_rc} SIGN ${sign})
  add_dependencies(${target} ${target}_packages ${target}_uninstaller_package)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  if(sign)
    # A renewed certificate signs both programs again.
    set_property(TARGET ${target} ${target}_uninstaller APPEND PROPERTY LINK_DEPENDS ${ARG_SIGN_CERT}
                                                                            ${ARG_SIGN_KEY})
  endif()

  # The manifests carry the hash of the linked program, so they follow every link.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(arch x64)
  else()
    set(arch x86)
  endif()
  add_custom_command(
    TARGET ${target}
    POST_BUILD
    COMMAND
      ${CMAKE_COMMAND} -DMODE=winget -DIPK5=${ipk5} -DSCRIPT=${script} -DINSTALLER=$<TARGET_FILE:${target}>
      -DOUTPUT=$<TARGET_FILE_DIR:${target}>/${ARG_OUTPUT_NAME}.winget -DARCH=${arch} "-DID=${ARG_WINGET_ID}"
      "-DURL=${ARG_WINGET_URL}" "-DLICENSE=${ARG_WINGET_LICENSE}" "-DDESCRIPTION=${ARG_WINGET_DESCRIPTION}" -P
      ${ZUVA_SETUP_METADATA_SCRIPT}
    COMMENT "Writing the winget manifests of ${ARG_OUTPUT_NAME}"
    VERBATIM)
endfunction()
