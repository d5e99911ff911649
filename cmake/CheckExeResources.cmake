# Run after linking the program (fw_check_exe_resources in resources/CMakeLists.txt):
#   cmake -DFW_EXE=<program.exe> -DFW_OBJDUMP=<objdump> -P CheckExeResources.cmake
# Fails unless the .exe's resource section holds what resources/app.rc compiles to.

# type:name -> required size (0: any), by the ids of resources/resource.h.
set(fw_expected
    "5:101=0"        # RT_DIALOG IDD_MAIN
    "2:107=0"        # RT_BITMAP IDB_LOGO
    "14:108=0"       # RT_GROUP_ICON IDI_MAIN
    "10:109=2097152" # RT_RCDATA IDR_FIRMWARE
    "24:1=0")        # RT_MANIFEST

execute_process(COMMAND "${FW_OBJDUMP}" -p "${FW_EXE}"
    OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${FW_OBJDUMP} -p ${FW_EXE} failed: ${errors}")
endif()

# The resource directory as objdump prints it: a type entry, its name entries, their
# language entries and leaves, each level indented two columns further.
string(FIND "${dump}" "The .rsrc Resource Directory section:" start)
if(start EQUAL -1)
    message(FATAL_ERROR "${FW_EXE} has no resource section")
endif()
string(SUBSTRING "${dump}" ${start} -1 dump)
string(REPLACE ";" "," dump "${dump}")
string(REPLACE "\n" ";" lines "${dump}")

set(found "")
set(type "")
set(name "")
foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-f]+   Entry: ID: 0x([0-9a-f]+),")
        math(EXPR type "0x${CMAKE_MATCH_1}")
    elseif(line MATCHES "^[0-9a-f]+     Entry: ID: 0x([0-9a-f]+),")
        math(EXPR name "0x${CMAKE_MATCH_1}")
    elseif(line MATCHES "Leaf: Addr: 0x[0-9a-f]+, Size: 0x([0-9a-f]+),")
        math(EXPR size "0x${CMAKE_MATCH_1}")
        list(APPEND found "${type}:${name}=${size}")
    endif()
endforeach()

foreach(expected IN LISTS fw_expected)
    string(REGEX MATCH "^([0-9]+:[0-9]+)=([0-9]+)$" _ "${expected}")
    set(key "${CMAKE_MATCH_1}")
    set(size "${CMAKE_MATCH_2}")
    set(match "")
    foreach(entry IN LISTS found)
        if(entry MATCHES "^${key}=([0-9]+)$")
            if(size EQUAL 0 OR CMAKE_MATCH_1 EQUAL size)
                set(match "${entry}")
            endif()
        endif()
    endforeach()
    if(NOT match)
        message(FATAL_ERROR "${FW_EXE} lacks resource ${key} (type:name)"
                            " of ${size} bytes (0: any size). It has: ${found}")
    endif()
endforeach()
