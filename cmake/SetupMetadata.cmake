# What a setup says about itself outside its packages, generated from its install script at build
# time, so that it never disagrees with what the installer reads from the same script (the host
# ipk5 prints the product's settings exactly as the engine reads them, from XML text or binary XML):
#
#   cmake -DMODE=resource -DIPK5=<ipk5> -DSCRIPT=<Install.xml> -DNAME=<exe name> -DOUTPUT=<file.rc> -P this
#       The version resource (VERSIONINFO) of the setup program, and so of every Uninstall.exe.
#   cmake -DMODE=winget -DIPK5=<ipk5> -DSCRIPT=<Install.xml> -DINSTALLER=<setup.exe> -DOUTPUT=<folder>
#         -DARCH=<x86|x64> [-DID=<Publisher.Package>] [-DURL=<https://...>] [-DLICENSE=<text>]
#         [-DDESCRIPTION=<text>] -P this
#       The three files of a winget package (version, default locale, installer) for the built
#       setup, with its SHA-256; the folder is emptied first.
cmake_minimum_required(VERSION 3.25)

set(winget_schema 1.28.0)
set(settings ProductName Publisher ProductVersion ProductVersionNo HomePage BuildDate)

execute_process(COMMAND "${IPK5}" settings "${SCRIPT}" ${settings} OUTPUT_VARIABLE listing
                RESULT_VARIABLE result ERROR_VARIABLE problem)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Cannot read the settings of ${SCRIPT}: ${problem}")
endif()
foreach(name IN LISTS settings)
  if(listing MATCHES "(^|\n)${name}=([^\n]*)")
    set(${name} "${CMAKE_MATCH_2}")
  else()
    set(${name} "")
  endif()
endforeach()
if(ProductName STREQUAL "")
  message(FATAL_ERROR "${SCRIPT} names no ProductName")
endif()
# The version as Programs and Features shows it (DisplayVersion): the build's number when the
# script has one, else the product's version.
set(version "${ProductVersionNo}")
if(version STREQUAL "")
  set(version "${ProductVersion}")
endif()

if(MODE STREQUAL "resource")
  # Four numbers of at most 65535: "5.05.0.1207" gives 5,5,0,1207; a part without digits is 0.
  string(REPLACE "." ";" parts "${version}")
  set(numbers)
  foreach(i RANGE 3)
    list(LENGTH parts count)
    set(number 0)
    if(i LESS count)
      list(GET parts ${i} part)
      if(part MATCHES "^0*([0-9]+)")
        set(number ${CMAKE_MATCH_1})
        string(LENGTH "${number}" digits)
        if(digits GREATER 5 OR number GREATER 65535)
          set(number 65535)
        endif()
      endif()
    endif()
    list(APPEND numbers ${number})
  endforeach()
  string(JOIN "," numeric ${numbers})

  set(copyright "Copyright (C) ${Publisher}")
  if(BuildDate MATCHES "^([0-9][0-9][0-9][0-9])")
    set(copyright "Copyright (C) ${CMAKE_MATCH_1} ${Publisher}")
  endif()
  set(strings CompanyName "${Publisher}" FileDescription "ZUVA Setup" FileVersion "${version}" InternalName
              "${NAME}" LegalCopyright "${copyright}" OriginalFilename "${NAME}.exe" ProductName "${ProductName}"
              ProductVersion "${version}")
  set(values "")
  list(LENGTH strings count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET strings ${i} key)
    list(GET strings ${j} text)
    # In a resource script a backslash starts an escape and a quote is written twice.
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\"\"" text "${text}")
    string(APPEND values "      VALUE \"${key}\", \"${text}\"\n")
  endforeach()
  file(
    WRITE "${OUTPUT}.new"
    "// Generated from ${SCRIPT}; every build writes it anew.\n"
    "#pragma code_page(65001)\n"
    "1 VERSIONINFO\n"
    "FILEVERSION ${numeric}\n"
    "PRODUCTVERSION ${numeric}\n"
    "FILEFLAGSMASK 0x3F\n"
    "FILEFLAGS 0x0\n"
    "FILEOS 0x40004\n"
    "FILETYPE 0x1\n"
    "FILESUBTYPE 0x0\n"
    "BEGIN\n"
    "  BLOCK \"StringFileInfo\"\n"
    "  BEGIN\n"
    "    BLOCK \"040904B0\"\n"
    "    BEGIN\n"
    "${values}"
    "    END\n"
    "  END\n"
    "  BLOCK \"VarFileInfo\"\n"
    "  BEGIN\n"
    "    VALUE \"Translation\", 0x409, 1200\n"
    "  END\n"
    "END\n")
  # Unchanged text keeps its time, so the program is not linked anew for nothing.
  file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUTPUT}.new")
  return()
endif()

if(NOT MODE STREQUAL "winget")
  message(FATAL_ERROR "MODE must be resource or winget")
endif()

# YAML scalars in single quotes: nothing inside is special but the quote itself, written twice.
function(yaml_text var text)
  string(REPLACE "'" "''" text "${text}")
  set(${var} "'${text}'" PARENT_SCOPE)
endfunction()

# An identifier part may hold no blank, dot or character a file name may not hold, and at most 32.
function(identifier_part var text)
  string(REGEX REPLACE "[][ .\t\\\\/:*?\"<>|]" "" text "${text}")
  string(SUBSTRING "${text}" 0 32 text)
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

if(NOT ID)
  identifier_part(publisher_part "${Publisher}")
  identifier_part(name_part "${ProductName}")
  if(publisher_part STREQUAL "")
    set(publisher_part "${name_part}")
  endif()
  set(ID "${publisher_part}.${name_part}")
endif()
get_filename_component(installer_name "${INSTALLER}" NAME)
if(NOT URL)
  set(home "${HomePage}")
  if(NOT home MATCHES "^[Hh][Tt][Tt][Pp][Ss]?://")
    set(home "https://downloads.invalid/")
  elseif(NOT home MATCHES "/$")
    string(APPEND home "/")
  endif()
  set(URL "${home}${installer_name}")
endif()
if(NOT LICENSE)
  set(LICENSE "Proprietary")
endif()
if(NOT DESCRIPTION)
  set(DESCRIPTION "${ProductName}")
endif()
file(SHA256 "${INSTALLER}" sha)
string(TOUPPER "${sha}" sha)

yaml_text(y_version "${version}")
yaml_text(y_publisher "${Publisher}")
yaml_text(y_name "${ProductName}")
yaml_text(y_license "${LICENSE}")
yaml_text(y_description "${DESCRIPTION}")
yaml_text(y_url "${URL}")
yaml_text(y_home "${HomePage}")
set(header "# Generated by the build of ${installer_name} from its install script.\n")
set(head "${header}# yaml-language-server: $schema=https://aka.ms/winget-manifest")
set(identity "PackageIdentifier: ${ID}\nPackageVersion: ${y_version}\n")
set(tail "ManifestVersion: ${winget_schema}\n")

file(REMOVE_RECURSE "${OUTPUT}")
file(MAKE_DIRECTORY "${OUTPUT}")
file(WRITE "${OUTPUT}/${ID}.yaml"
     "${head}.version.${winget_schema}.schema.json\n\n${identity}DefaultLocale: en-US\nManifestType: version\n${tail}")

set(locale "${identity}PackageLocale: en-US\nPublisher: ${y_publisher}\nPackageName: ${y_name}\n")
if(HomePage MATCHES "^[Hh][Tt][Tt][Pp][Ss]?://")
  string(APPEND locale "PublisherUrl: ${y_home}\nPackageUrl: ${y_home}\n")
endif()
string(APPEND locale "License: ${y_license}\nShortDescription: ${y_description}\nManifestType: defaultLocale\n")
file(WRITE "${OUTPUT}/${ID}.locale.en-US.yaml"
     "${head}.defaultLocale.${winget_schema}.schema.json\n\n${locale}${tail}")

# The switches are those of the setup's own command line (see its /?). /DIR names the folder
# because winget adds it to the silent switches, whose /AUTO comes first. Upgrade adds /UPDATE,
# which refuses to install anything when no updatable copy is found; the setup then shows its
# progress window (it reads no /SILENT beside /UPDATE) and closes it by itself.
file(
  WRITE "${OUTPUT}/${ID}.installer.yaml"
  "${head}.installer.${winget_schema}.schema.json\n\n"
  "${identity}"
  "InstallerType: exe\n"
  "Scope: machine\n"
  "InstallModes:\n- interactive\n- silent\n- silentWithProgress\n"
  "InstallerSwitches:\n"
  "  Silent: /AUTO /SILENT /SUPPRESSMSGBOXES\n"
  "  SilentWithProgress: /AUTO /SUPPRESSMSGBOXES\n"
  "  InstallLocation: /DIR=\"<INSTALLPATH>\"\n"
  "  Log: /LOG=\"<LOGPATH>\"\n"
  "  Upgrade: /UPDATE\n"
  "InstallerSuccessCodes:\n- 3010\n"
  "ExpectedReturnCodes:\n"
  "- InstallerReturnCode: 1602\n  ReturnResponse: cancelledByUser\n"
  "- InstallerReturnCode: 1603\n  ReturnResponse: contactSupport\n"
  "- InstallerReturnCode: 1618\n  ReturnResponse: installInProgress\n"
  "- InstallerReturnCode: 3010\n  ReturnResponse: rebootRequiredForInstall\n"
  "UpgradeBehavior: install\n"
  "ElevationRequirement: elevatesSelf\n"
  "ProductCode: ${y_name}\n"
  "AppsAndFeaturesEntries:\n"
  "- DisplayName: ${y_name}\n  Publisher: ${y_publisher}\n  DisplayVersion: ${y_version}\n  ProductCode: ${y_name}\n"
  "Installers:\n"
  "- Architecture: ${ARCH}\n  InstallerUrl: ${y_url}\n  InstallerSha256: ${sha}\n"
  "ManifestType: installer\n"
  "${tail}")
