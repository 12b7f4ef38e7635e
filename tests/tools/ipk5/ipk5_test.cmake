# Drives ipk5 through its commands. Every path is relative to WORK so that it means the same under
# Wine. Fails at the first unexpected exit status, message or file.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/src/sub/deeper")

# ipk5(EXPECTED_STATUS ARGS...): runs the tool, leaves stdout in OUT and stderr in ERR.
function(ipk5 expected)
  execute_process(COMMAND ${EMULATOR} "${IPK5}" ${ARGN} WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status STREQUAL "${expected}")
    message(FATAL_ERROR "ipk5 ${ARGN}: status ${status}, expected ${expected}\n${out}\n${err}")
  endif()
  set(OUT "${out}" PARENT_SCOPE)
  set(ERR "${err}" PARENT_SCOPE)
endfunction()

function(expect_match text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: \"${text}\" does not match \"${pattern}\"")
  endif()
endfunction()

function(expect_same_file a b)
  file(SHA256 "${WORK}/${a}" ha)
  file(SHA256 "${WORK}/${b}" hb)
  if(NOT ha STREQUAL hb)
    message(FATAL_ERROR "${a} and ${b} differ")
  endif()
endfunction()

# Input: text, an empty file, a non-ASCII name and a larger binary file.
file(WRITE "${WORK}/src/Install.xml" "<install/>\n")
file(WRITE "${WORK}/src/empty.txt" "")
file(WRITE "${WORK}/src/sub/été.txt" "summer\n")
string(REPEAT "0123456789abcdef" 4096 block)
file(WRITE "${WORK}/src/sub/deeper/data.bin" "${block}${block}")

ipk5(0 --help)
expect_match("${OUT}" "Usage:" "help")
ipk5(2)
ipk5(2 frobnicate)

# Pack a folder: names relative to -C, backslashes, sorted ignoring case.
ipk5(0 pack -o p1.ipk -l 4 -C src .)
ipk5(0 list p1.ipk)
string(REPLACE "\t" "|" listing "${OUT}")
# The offsets follow the order the files were added, which is the sorted order.
set(expected "empty.txt|0|0\nInstall.xml|11|0\nsub\\deeper\\data.bin|131072|11\nsub\\été.txt|7|131083\n")
if(NOT listing STREQUAL expected)
  message(FATAL_ERROR "listing:\n${listing}\nexpected:\n${expected}")
endif()

# The same input named differently packs to the same bytes.
ipk5(0 pack -o p2.ipk -l 4 -C src sub Install.xml empty.txt sub/deeper)
expect_same_file(p1.ipk p2.ipk)

ipk5(0 verify p1.ipk)
expect_match("${OUT}" "OK, 4 entries" "verify")

ipk5(0 extract p1.ipk -o out)
foreach(f Install.xml empty.txt "sub/été.txt" sub/deeper/data.bin)
  expect_same_file("src/${f}" "out/${f}")
endforeach()

# One entry by name, in another case: written under the stored name.
ipk5(0 extract p1.ipk -o one "SUB\\DEEPER\\DATA.BIN")
expect_same_file(src/sub/deeper/data.bin one/sub/deeper/data.bin)

# Bad input: clear message, non-zero status, nothing left behind.
ipk5(1 extract p1.ipk -o none Install.xml missing.txt)
expect_match("${ERR}" "entry not found: missing.txt" "missing entry")
if(EXISTS "${WORK}/none/Install.xml")
  message(FATAL_ERROR "a failed extraction wrote files")
endif()

ipk5(1 pack -o p3.ipk -C src Install.xml no-such-file)
expect_match("${ERR}" "no-such-file: no such file or folder" "missing input")
file(GLOB leftovers "${WORK}/p3.ipk*")
if(leftovers)
  message(FATAL_ERROR "a failed pack left ${leftovers}")
endif()

ipk5(1 list no-such.ipk)
expect_match("${ERR}" "no such package file" "missing package")

# A header whose size no body of this length could decode to, and a body of noise.
file(WRITE "${WORK}/damaged.ipk" "IPK5abcdefgh this body is not an enciphered LZMA stream at all")
ipk5(1 verify damaged.ipk)
expect_match("${ERR}" "damaged.ipk: Package was corrupted" "damaged package")
ipk5(1 extract damaged.ipk -o damaged)

file(WRITE "${WORK}/notpkg.ipk" "this is not a package at all")
ipk5(1 verify notpkg.ipk)
expect_match("${ERR}" "Package was corrupted" "foreign file")

# Names as a Linux shell user writes them.
ipk5(0 extract p1.ipk -o slash sub/deeper/data.bin)
expect_same_file(src/sub/deeper/data.bin slash/sub/deeper/data.bin)

# A folder or an empty file where a package belongs.
ipk5(1 list src)
expect_match("${ERR}" "src: is a folder, not a package file" "folder as package")
ipk5(1 verify src/empty.txt)
expect_match("${ERR}" "empty.txt: is an empty file, not a package" "empty file as package")

# What a package cannot hold is named on stderr, and the rest is packed.
file(MAKE_DIRECTORY "${WORK}/odd/empty-folder")
file(WRITE "${WORK}/odd/kept.txt" "kept\n")
if(NOT EMULATOR)
  # Links and pipes as Linux makes them.
  file(CREATE_LINK "${WORK}/src/sub" "${WORK}/odd/folder-link" SYMBOLIC)
  file(CREATE_LINK "${WORK}/odd/kept.txt" "${WORK}/odd/file-link" SYMBOLIC)
  file(CREATE_LINK "${WORK}/odd/no-such-file" "${WORK}/odd/broken-link" SYMBOLIC)
  execute_process(COMMAND mkfifo "${WORK}/odd/pipe" RESULT_VARIABLE made)
endif()
ipk5(0 pack -o odd.ipk -C odd .)
set(skipped "${ERR}")
expect_match("${skipped}" "skipped [^\n]*empty-folder: an empty folder" "empty folder")
ipk5(0 list odd.ipk)
expect_match("${OUT}" "kept.txt" "packed beside what was skipped")
if(NOT EMULATOR)
  expect_match("${skipped}" "folder-link: a link to a folder" "link to a folder")
  expect_match("${skipped}" "broken-link: a link to nothing" "broken link")
  if(made EQUAL 0)
    expect_match("${skipped}" "pipe: a special file" "pipe")
  endif()
  expect_match("${OUT}" "file-link" "a link to a file is packed")
endif()

# A payload beyond the 32-bit size field is refused before a byte is read (a sparse file).
file(MAKE_DIRECTORY "${WORK}/huge")
file(TOUCH "${WORK}/huge/big.bin")
execute_process(COMMAND truncate -s 5G "${WORK}/huge/big.bin" RESULT_VARIABLE truncated)
if(truncated EQUAL 0)
  ipk5(1 pack -o huge.ipk -C huge .)
  # 5 GiB of data, the table (count, one record of 2 + 14 + 16 bytes) and its length.
  expect_match("${ERR}" "would hold 5368709160 bytes.*at most 4294967295 bytes" "payload limit")
  file(GLOB leftovers "${WORK}/huge.ipk*")
  if(leftovers)
    message(FATAL_ERROR "a refused pack left ${leftovers}")
  endif()
endif()
file(REMOVE_RECURSE "${WORK}/huge")

ipk5(2 pack -o p4.ipk -l 10 src)
ipk5(2 pack src)

# The settings of an install script as the installer reads them: the last of equal names (in any
# case) counts, entities are decoded, a missing one is empty, and without names each appears once.
file(WRITE "${WORK}/script.xml"
     "<installer><product><Settings>\n"
     "<Setting name=\"ProductName\" value=\"Old\"/>\n"
     "<Setting name=\"Publisher\" value=\"A &amp; B\"/>\n"
     "<Setting name=\"productname\" value=\"Media Player\"/>\n"
     "</Settings></product></installer>\n")
ipk5(0 settings script.xml ProductName Publisher HomePage)
if(NOT OUT STREQUAL "ProductName=Media Player\nPublisher=A & B\nHomePage=\n")
  message(FATAL_ERROR "settings: ${OUT}")
endif()
ipk5(0 settings script.xml)
if(NOT OUT STREQUAL "ProductName=Media Player\nPublisher=A & B\n")
  message(FATAL_ERROR "all settings: ${OUT}")
endif()
ipk5(1 settings missing.xml)
expect_match("${ERR}" "missing.xml: no such install script" "missing script")
ipk5(2 settings)
message(STATUS "ipk5 tool checks passed")
