# Fails, naming file and include, when a file includes a folder of a layer above its own, or when
# a file outside src/store includes SQLite's or SQLiteCpp's headers: the commands and the windows
# reach the rows through the store's Database only.
#
# Layers, from the bottom: the store, text and the desktop seams, which know none of the other
# folders; the commands; what every window shares; the windows, which may use one another; and
# main.cpp.
set(layer_store 0)
set(layer_text 0)
set(layer_platform 0)
set(layer_commands 1)
set(layer_widgets 2)
set(layer_mainwindow 3)
set(layer_dialogs 3)
set(layer_editing 3)
set(layer_views 3)
set(layer_about 3)
set(layer_app 4)

file(GLOB_RECURSE sources "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/src/*.h")
set(sqlite_offenders "")
set(layer_offenders "")
foreach(source ${sources})
    file(RELATIVE_PATH name "${SOURCE_DIR}" "${source}")
    string(REGEX MATCH "^src/([^/]+)/" in_folder "${name}")
    set(folder "${CMAKE_MATCH_1}")
    if(NOT DEFINED layer_${folder})
        list(APPEND layer_offenders "${name}: src/${folder} belongs to no layer (tests/layers.cmake)")
        continue()
    endif()

    if(NOT folder STREQUAL "store")
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](SQLiteCpp/|sqlite3)")
        if(includes)
            list(APPEND sqlite_offenders "${name}: ${includes}")
        endif()
    endif()

    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][a-z]+/")
    foreach(include ${includes})
        string(REGEX MATCH "include[ \t]*[<\"]([a-z]+)/" included "${include}")
        set(other "${CMAKE_MATCH_1}")
        if(NOT DEFINED layer_${other} OR other STREQUAL folder)
            continue() # a system header, or the file's own folder
        endif()
        if(layer_${other} GREATER layer_${folder} OR layer_${folder} EQUAL 0)
            string(STRIP "${include}" include)
            list(APPEND layer_offenders "${name}: ${include} (${other} is not below ${folder})")
        endif()
    endforeach()
endforeach()

set(failures "")
if(sqlite_offenders)
    list(JOIN sqlite_offenders "\n  " shown)
    string(APPEND failures "SQLite is the store's own business, but these include it:\n  ${shown}\n")
endif()
if(layer_offenders)
    list(JOIN layer_offenders "\n  " shown)
    string(APPEND failures "These reach up or across the layers:\n  ${shown}\n")
endif()
if(failures)
    message(FATAL_ERROR "${failures}")
endif()
