# The program imports only DLLs on the system's known-DLL list (Windows 7's, the
# shortest), which Windows never looks for in the program's folder, and starts at
# the entry point that limits DLL search. Run with -DOBJDUMP, -DNM, -DPROGRAM.
cmake_minimum_required(VERSION 3.20)
set(known advapi32 comdlg32 gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi ole32 oleaut32
          psapi rpcrt4 sechost setupapi shell32 shlwapi user32 usp10 wldap32 ws2_32)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "no import table read from ${PROGRAM}")
endif()
foreach(line IN LISTS imports)
  string(REGEX REPLACE "DLL Name: ([^.]+)\\.[dD][lL][lL]" "\\1" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST known)
    message(SEND_ERROR "${PROGRAM} imports ${dll}.dll, which Windows may load from the program's folder")
  endif()
endforeach()

# The entry point as an address, beside the symbol's.
string(REGEX MATCH "AddressOfEntryPoint\t*([0-9a-fA-F]+)" entry "${headers}")
set(rva "0x${CMAKE_MATCH_1}")
string(REGEX MATCH "ImageBase\t*([0-9a-fA-F]+)" base "${headers}")
math(EXPR actual "${rva} + 0x${CMAKE_MATCH_1}")
execute_process(COMMAND ${NM} ${PROGRAM} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
if(NOT symbols MATCHES "([0-9a-f]+) T _?OrvantaStartup\n")
  message(FATAL_ERROR "${PROGRAM} has no OrvantaStartup")
endif()
math(EXPR expected "0x${CMAKE_MATCH_1}")
if(NOT actual EQUAL expected)
  message(SEND_ERROR "${PROGRAM} does not start at OrvantaStartup")
endif()
