# Fails when an include points up or across the layers:
#   core/      its own headers, QtCore's and the libraries below (never a window, a widget, or a
#              platform implementation)
#   platform/  core/ and its own
#   gui/       core/ and its own; a window (gui/windows/) never includes another window (navigation does)
#   app/       anything
# Run as: cmake -DSOURCE_DIR=<project> -DQTCORE_DIR=<QtCore include folder> -P layers.cmake

set(violations "")

function(check_file file layer)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include")
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
    get_filename_component(stem "${file}" NAME_WE)
    foreach(line IN LISTS lines)
        set(bad "")
        if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
            set(header "${CMAKE_MATCH_1}")
            string(REGEX MATCH "^[a-z]+/" folder "${header}")
            if(layer STREQUAL "core" AND NOT folder STREQUAL "core/")
                set(bad "the core includes ${header}")
            elseif(layer STREQUAL "platform" AND NOT folder MATCHES "^(core|platform)/$")
                set(bad "a platform implementation includes ${header}")
            elseif(layer STREQUAL "gui" AND NOT folder MATCHES "^(core|gui)/$")
                set(bad "a window or its helpers include ${header}")
            elseif(layer STREQUAL "gui" AND shown MATCHES "^gui/windows/" AND header MATCHES "^gui/windows/([a-z]+)\\.h$"
                   AND NOT CMAKE_MATCH_1 STREQUAL stem)
                set(bad "a window includes another window, ${header}")
            endif()
        elseif(layer STREQUAL "core" AND line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*/)?(Q[A-Za-z]*)>")
            # A Qt header the core may use is one that QtCore has.
            if(CMAKE_MATCH_1 AND NOT CMAKE_MATCH_1 STREQUAL "QtCore/")
                set(bad "the core includes <${CMAKE_MATCH_1}${CMAKE_MATCH_2}>")
            elseif(NOT EXISTS "${QTCORE_DIR}/${CMAKE_MATCH_2}")
                set(bad "the core includes <${CMAKE_MATCH_2}>, which is not QtCore's")
            endif()
        endif()
        if(bad)
            list(APPEND violations "${shown}: ${bad}")
            set(violations "${violations}" PARENT_SCOPE)
        endif()
    endforeach()
endfunction()

if(NOT EXISTS "${QTCORE_DIR}/QString")
    message(FATAL_ERROR "QtCore's headers are not in '${QTCORE_DIR}'")
endif()
foreach(layer IN ITEMS core platform gui)
    file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
    foreach(file IN LISTS files)
        check_file("${file}" ${layer})
    endforeach()
endforeach()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "Includes against the direction of the layers:\n  ${text}")
endif()
message(STATUS "Every include points down the layers.")
