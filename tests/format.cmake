# Fails when a C++ source differs from the format in .clang-format.
# Run as: cmake -DSOURCE_DIR=<project> -DCLANG_FORMAT=<clang-format> -P format.cmake

if(NOT CLANG_FORMAT)
    message(FATAL_ERROR "clang-format was not found; scripts/install-deps.sh installs it")
endif()
set(files "")
foreach(folder IN ITEMS app bench core fuzz gui platform tests tools)
    file(GLOB_RECURSE found "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
    list(APPEND files ${found})
endforeach()
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${files}
                WORKING_DIRECTORY "${SOURCE_DIR}"
                RESULT_VARIABLE result ERROR_VARIABLE differences)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Files differ from .clang-format (run clang-format -i on them):\n${differences}")
endif()
list(LENGTH files count)
message(STATUS "${count} files follow .clang-format.")
