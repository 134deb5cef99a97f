# Shared compile settings for every afficheur target.

function(afficheur_set_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
            # GCC 12 reports false -Wrestrict overlaps inside std::string at -O3 (GCC bug 105329).
            target_compile_options(${target} PRIVATE -Wno-restrict)
        endif()
        if(AFFICHEUR_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()

# afficheur_static_library(<target> ROOT <dir> SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# Every static library of the project is declared here: its headers included from ROOT (a
# folder's name first, "board/Board.h"), C++20, the project's warnings, its dependencies.
function(afficheur_static_library target)
    cmake_parse_arguments(ARG "" "ROOT" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
    if(NOT ARG_ROOT)
        message(FATAL_ERROR "afficheur_static_library(${target}): ROOT is missing")
    endif()
    add_library(${target} STATIC ${ARG_SOURCES})
    target_include_directories(${target} PUBLIC "${ARG_ROOT}")
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_link_libraries(${target} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    afficheur_set_warnings(${target})
endfunction()

# afficheur_library(<folder> SOURCES ... [DEPS ...])
# One static library per folder under src/: target afficheur_<folder>, alias afficheur::<folder>.
# Headers are included as "<folder>/Header.h", so the include root is src/. Standard C++ only
# (no compiler extensions): the core also builds with mingw and MSVC.
function(afficheur_library folder)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    set(target afficheur_${folder})
    afficheur_static_library(${target} ROOT "${AFFICHEUR_SOURCE_ROOT}" SOURCES ${ARG_SOURCES}
        DEPS ${ARG_DEPS})
    add_library(afficheur::${folder} ALIAS ${target})
    set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
endfunction()
