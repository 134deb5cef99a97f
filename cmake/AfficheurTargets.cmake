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

# afficheur_library(<folder> SOURCES ... [DEPS ...])
# One static library per folder under src/: target afficheur_<folder>, alias afficheur::<folder>.
# Headers are included as "<folder>/Header.h", so the include root is src/.
function(afficheur_library folder)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    set(target afficheur_${folder})
    add_library(${target} STATIC ${ARG_SOURCES})
    add_library(afficheur::${folder} ALIAS ${target})
    target_include_directories(${target} PUBLIC "${AFFICHEUR_SOURCE_ROOT}")
    target_compile_features(${target} PUBLIC cxx_std_20)
    set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
    if(ARG_DEPS)
        target_link_libraries(${target} PUBLIC ${ARG_DEPS})
    endif()
    afficheur_set_warnings(${target})
endfunction()
