# cmake -DNPM=<npm or empty> -DTARBALL=<local .tgz or empty> -DPACKAGE=<name> -DVERSION=<v>
#       -DINTEGRITY=sha512-<base64> -DWORK_DIR=<dir> -DOUTPUT_DIR=<dir> -DSTAMP=<file>
#       -P FetchNpmPackage.cmake
# Fetches one npm package tarball, refuses it unless it matches the pinned integrity, and
# unpacks its package/ folder into OUTPUT_DIR.

# The npm integrity is the base64 of the digest; CMake gives it in hex.
function(hex_to_base64 hex out)
    set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
    string(LENGTH "${hex}" length)
    set(result "")
    set(i 0)
    while(i LESS length)
        math(EXPR left "${length} - ${i}")
        if(left GREATER 6)
            set(left 6)
        endif()
        string(SUBSTRING "${hex}" ${i} ${left} chunk)
        set(padded "${chunk}")
        string(LENGTH "${padded}" padded_length)
        while(padded_length LESS 6)
            string(APPEND padded "0")
            math(EXPR padded_length "${padded_length} + 1")
        endwhile()
        math(EXPR value "0x${padded}")
        math(EXPR chars "${left} / 2 + 1")  # 1 byte -> 2 characters, 2 -> 3, 3 -> 4
        foreach(shift 18 12 6 0)
            if(chars GREATER 0)
                math(EXPR index "(${value} >> ${shift}) & 63")
                string(SUBSTRING "${alphabet}" ${index} 1 c)
                string(APPEND result "${c}")
                math(EXPR chars "${chars} - 1")
            else()
                string(APPEND result "=")
            endif()
        endforeach()
        math(EXPR i "${i} + 6")
    endwhile()
    set(${out} "${result}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
if(TARBALL)
    set(tarball "${TARBALL}")
else()
    execute_process(
        COMMAND "${NPM}" pack "${PACKAGE}@${VERSION}" --pack-destination "${WORK_DIR}"
            --ignore-scripts --silent
        WORKING_DIRECTORY "${WORK_DIR}"
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "npm pack ${PACKAGE}@${VERSION} failed (${result}):\n${error}")
    endif()
    file(GLOB tarball "${WORK_DIR}/*.tgz")
endif()
if(NOT EXISTS "${tarball}")
    message(FATAL_ERROR "No tarball of ${PACKAGE}@${VERSION} at ${tarball}")
endif()

file(SHA512 "${tarball}" digest)
hex_to_base64("${digest}" encoded)
if(NOT "sha512-${encoded}" STREQUAL "${INTEGRITY}")
    message(FATAL_ERROR "${tarball} is not the pinned ${PACKAGE}@${VERSION}:\n"
        "  integrity ${INTEGRITY} expected\n  integrity sha512-${encoded} found")
endif()

file(ARCHIVE_EXTRACT INPUT "${tarball}" DESTINATION "${WORK_DIR}/unpacked")
if(NOT IS_DIRECTORY "${WORK_DIR}/unpacked/package")
    message(FATAL_ERROR "${tarball} holds no package/ folder")
endif()
file(REMOVE_RECURSE "${OUTPUT_DIR}")
file(RENAME "${WORK_DIR}/unpacked/package" "${OUTPUT_DIR}")
file(REMOVE_RECURSE "${WORK_DIR}/unpacked")
file(TOUCH "${STAMP}")
