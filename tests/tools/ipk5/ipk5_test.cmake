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

ipk5(2 pack -o p4.ipk -l 10 src)
ipk5(2 pack src)
message(STATUS "ipk5 tool checks passed")
