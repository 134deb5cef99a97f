# afficheur::window: SetWindowPos for the always-on-top band. Qt places and shows the window;
# on X11 the window manager is also told through _NET_WM_STATE (libxcb, the library Qt's own
# X11 support uses).
add_library(afficheur_window STATIC Window.cpp)
add_library(afficheur::window ALIAS afficheur_window)
target_include_directories(afficheur_window PUBLIC "${AFFICHEUR_SOURCE_ROOT}")
target_compile_features(afficheur_window PUBLIC cxx_std_20)
set_target_properties(afficheur_window PROPERTIES CXX_EXTENSIONS OFF)
target_link_libraries(afficheur_window PUBLIC Qt6::Widgets Qt6::Gui)
if(NOT WIN32)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(AFFICHEUR_XCB REQUIRED IMPORTED_TARGET xcb)
    target_link_libraries(afficheur_window PRIVATE PkgConfig::AFFICHEUR_XCB)
endif()
afficheur_set_warnings(afficheur_window)
