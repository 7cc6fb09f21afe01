# Builds the release ZIP with cpack into WORK_DIR and checks it as a skin
# author gets it:
# - it is named ZIP_NAME.zip and holds exactly the programs and the guide
#   GUIDE, in one folder ZIP_NAME; PROGRAMS lists them, comma separated, each
#   as name=exit code (see below);
# - the guide has CR LF line ends;
# - each program is a console program that needs no DLL beyond Windows' own
#   (checked with OBJDUMP), and starts under EMULATOR in an empty folder with
#   the registry key GAME_KEY absent from the 32-bit view: it prints its framed banner and ends
#   with the exit code given, as Wine hands it to its Unix parent (the low
#   eight bits: -1 is 255). GAME_KEY is cleared again afterwards.
cmake_minimum_required(VERSION 3.25)

function(fail)
  string(JOIN "" text ${ARGN})
  message(FATAL_ERROR "${text}")
endfunction()

string(REPLACE "," ";" PROGRAMS "${PROGRAMS}")
set(names)
foreach(entry IN LISTS PROGRAMS)
  string(REGEX REPLACE "=.*" "" name "${entry}")
  list(APPEND names "${name}")
endforeach()

# Removes GAME_KEY from the 32-bit view of the registry, where the game and
# the installer keep it; a missing key is no error.
function(clear_game_key)
  execute_process(COMMAND ${EMULATOR} reg delete "${GAME_KEY}" /reg:32 /f
    OUTPUT_QUIET ERROR_QUIET)
endfunction()
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/unpacked" "${WORK_DIR}/empty")

execute_process(COMMAND "${CPACK_COMMAND}" --config "${CPACK_CONFIG}" -B "${WORK_DIR}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  fail("cpack failed (${rc}):\n${out}")
endif()
set(zip "${WORK_DIR}/${ZIP_NAME}.zip")
if(NOT EXISTS "${zip}")
  fail("cpack made no ${ZIP_NAME}.zip:\n${out}")
endif()

# Contents: exactly the expected files, nothing else (folders aside).
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${zip}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE listing)
if(NOT rc EQUAL 0)
  fail("cannot list ${zip}")
endif()
string(REPLACE "\n" ";" listing "${listing}")
set(files)
foreach(entry IN LISTS listing)
  if(entry AND NOT entry MATCHES "/$")
    list(APPEND files "${entry}")
  endif()
endforeach()
set(expected)
foreach(name IN LISTS names ITEMS ${GUIDE})
  list(APPEND expected "${ZIP_NAME}/${name}")
endforeach()
list(SORT files)
list(SORT expected)
if(NOT files STREQUAL expected)
  fail("${ZIP_NAME}.zip holds\n  ${files}\nexpected\n  ${expected}")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${zip}"
  WORKING_DIRECTORY "${WORK_DIR}/unpacked" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  fail("cannot unpack ${zip}")
endif()
set(root "${WORK_DIR}/unpacked/${ZIP_NAME}")

# file(READ) drops CR in text, so look at the bytes: " 0d 0a" for each CR LF.
file(READ "${root}/${GUIDE}" guide HEX)
string(REGEX REPLACE "(..)" " \\1" guide "${guide}")
string(REPLACE " 0d 0a" "" bare "${guide}")
string(FIND "${guide}" " 0d 0a" first_crlf)
string(FIND "${bare}" " 0a" stray_lf)
if(first_crlf EQUAL -1 OR NOT stray_lf EQUAL -1)
  fail("${GUIDE} is empty or has line ends other than CR LF")
endif()

string(REPEAT "-" 57 rule)
foreach(entry IN LISTS PROGRAMS)
  string(REGEX REPLACE "=.*" "" program "${entry}")
  string(REGEX REPLACE ".*=" "" expected_exit "${entry}")
  set(exe "${root}/${program}")

  execute_process(COMMAND "${OBJDUMP}" -p "${exe}" RESULT_VARIABLE rc OUTPUT_VARIABLE headers)
  if(NOT rc EQUAL 0)
    fail("${OBJDUMP} cannot read ${program}")
  endif()
  if(NOT headers MATCHES "Subsystem[ \t]+0*3[ \t]")
    fail("${program} is not a console program")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" dll "${import}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll MATCHES "^(kernel32|advapi32|msvcrt|user32|shell32|ucrtbase|api-ms-win-.*)\\.dll$")
      fail("${program} needs ${dll}, which Windows does not have")
    endif()
  endforeach()

  clear_game_key()
  execute_process(COMMAND ${EMULATOR} "${exe}"
    WORKING_DIRECTORY "${WORK_DIR}/empty"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
  clear_game_key()
  if(NOT out MATCHES "^${rule}\r?\n")
    fail("${program} under Wine printed no banner (exit ${rc}):\n${out}\n${err}")
  endif()
  if(NOT rc STREQUAL expected_exit)
    fail("${program} under Wine in an empty folder ended with ${rc}, expected ${expected_exit}:\n${out}\n${err}")
  endif()
endforeach()
message(STATUS "${ZIP_NAME}.zip: ${files}")
