# How the project's targets are made: one static library per folder, whose
# headers only the targets that link it can include, and the project's
# warnings on every target of its own but never passed on to another.

# Publishes the listed headers of `folder` (a path below the source root) as
# "folder/NAME.h" to `target` and to what links it. Each library has an
# include folder of its own in the build tree holding links to its headers,
# so an include of a library that a target does not link fails to compile:
# the build itself keeps the layering.
function(tavler_publish_headers target folder)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header IN LISTS ARGN)
        set(link ${root}/${folder}/${header})
        if(NOT EXISTS ${link})
            file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder}/${header} ${link} SYMBOLIC)
        endif()
    endforeach()
    get_target_property(kind ${target} TYPE)
    if(kind STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()

# tavler_library(NAME FOLDER folder SOURCES ... HEADERS ... [PUBLIC libs] [PRIVATE libs])
function(tavler_library name)
    cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;HEADERS;PUBLIC;PRIVATE" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    tavler_publish_headers(${name} ${ARG_FOLDER} ${ARG_HEADERS})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE tavler_warnings ${ARG_PRIVATE})
endfunction()
