# Fails when a library includes one that stands above it. Each folder is a floor with a
# height and a line; a file may include its own floor, and a lower one of its own line or of
# the core. Floors of equal height stand side by side and include nothing of each other.
# Run as: cmake -DROOT=<checkout> -P CheckIncludeFloors.cmake
if(NOT ROOT)
    message(FATAL_ERROR "ROOT is not set")
endif()

# floor height line
set(floors
    # The core: each module is its own library.
    "UlmaroKit/Platform 0 core"
    "UlmaroKit/PdfModule 0 core"
    "UlmaroKit/Index 1 core"
    "UlmaroKit/Scanning 2 core"
    "UlmaroKit/Search 3 core"
    "UlmaroKit/Catalogs 3 core"
    "UlmaroKit/Content 4 core"
    # The command line, over the core only.
    "lu 10 cli"
    # The application, from its seams up to the program.
    "UlmaroAppKit/Platform 10 app"
    "UlmaroAppKit/Text 11 app"
    "UlmaroAppKit/Indexing 12 app"
    "UlmaroAppKit/Settings 13 app"
    "UlmaroAppKit/Search 14 app"
    "UlmaroAppKit/Catalogs 14 app"
    "UlmaroAppKit/Onboarding 15 app"
    "UlmaroAppKit/Panel 16 app"
    "UlmaroAppKit/MenuBar 17 app"
    "UlmaroAppKit/Shell 18 app"
    "UlmaroAppKit/UI 19 app"
    # The fakes stand in for the seams in tests and benchmarks; no library uses them.
    "UlmaroAppKit/Fakes 19 app"
    "UlmaroApp 20 app")

# The floor of a path inside the checkout: the longest entry it starts with.
function(floor_of path out_name out_height out_line)
    set(best "")
    set(best_length 0)
    foreach(entry ${floors})
        string(REPLACE " " ";" parts "${entry}")
        list(GET parts 0 name)
        string(LENGTH "${name}" length)
        string(FIND "${path}/" "${name}/" at)
        if(at EQUAL 0 AND length GREATER best_length)
            set(best "${parts}")
            set(best_length ${length})
        endif()
    endforeach()
    if(best)
        list(GET best 0 name)
        list(GET best 1 height)
        list(GET best 2 line)
    else()
        set(name "")
        set(height "")
        set(line "")
    endif()
    set(${out_name} "${name}" PARENT_SCOPE)
    set(${out_height} "${height}" PARENT_SCOPE)
    set(${out_line} "${line}" PARENT_SCOPE)
endfunction()

set(faults 0)
set(files 0)
foreach(top UlmaroKit lu UlmaroAppKit UlmaroApp)
    file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/${top}/*.h" "${ROOT}/${top}/*.cpp")
    foreach(source ${sources})
        floor_of("${source}" from from_height from_line)
        if(NOT from)
            continue()
        endif()
        math(EXPR files "${files} + 1")
        file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line ${includes})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" target "${line}")
            floor_of("${target}" to to_height to_line)
            if(NOT to OR to STREQUAL from)
                continue()
            endif()
            if(NOT to_height LESS from_height)
                set(why "stands at or above it")
            elseif(NOT to_line STREQUAL from_line AND NOT to_line STREQUAL "core")
                set(why "belongs to another line")
            else()
                continue()
            endif()
            message(SEND_ERROR "${source}: includes ${target}: ${to} ${why} (${from})")
            math(EXPR faults "${faults} + 1")
        endforeach()
    endforeach()
endforeach()

if(files EQUAL 0)
    message(FATAL_ERROR "no sources found under ${ROOT}")
endif()
if(faults GREATER 0)
    message(FATAL_ERROR "${faults} include(s) run up the floors")
endif()
message(STATUS "${files} files, every include stands on its own floor or below")
