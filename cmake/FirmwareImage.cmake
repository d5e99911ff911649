# The firmware image the program carries must be exactly 2 MiB: the drive's flash holds
# that much and the update sends it whole.
#
# Included, this file gives fw_check_firmware_image() for the configure step. Run as a
# script it is the build's own check, made again whenever the image changes:
#
#   cmake -DFW_IMAGE_INPUT=<image> [-DFW_IMAGE_OUTPUT=<copy>] -P FirmwareImage.cmake
#
# which fails the build unless <image> has the right size, and then copies it to <copy>.
set(FW_IMAGE_SIZE 2097152)

# Stops with a FATAL_ERROR naming <file> and its size unless it is an image of the right size.
function(fw_check_firmware_image file)
    if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
        message(FATAL_ERROR "FW_IMAGE_FILE: '${file}' does not exist or is not a file.")
    endif()
    file(SIZE "${file}" size)
    if(NOT size EQUAL FW_IMAGE_SIZE)
        message(FATAL_ERROR
            "FW_IMAGE_FILE: '${file}' is ${size} bytes; "
            "a firmware image must be exactly ${FW_IMAGE_SIZE} bytes.")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT FW_IMAGE_INPUT)
        message(FATAL_ERROR "usage: cmake -DFW_IMAGE_INPUT=<image> [-DFW_IMAGE_OUTPUT=<copy>] -P ${CMAKE_CURRENT_LIST_FILE}")
    endif()
    fw_check_firmware_image("${FW_IMAGE_INPUT}")
    if(FW_IMAGE_OUTPUT)
        file(COPY_FILE "${FW_IMAGE_INPUT}" "${FW_IMAGE_OUTPUT}")
        # The copy is new whatever the age of the original, so what embeds it is rebuilt.
        file(TOUCH "${FW_IMAGE_OUTPUT}")
    endif()
endif()
