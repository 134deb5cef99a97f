# The registry services (platform/Registry.h), kept in a per-user SQLite database.
find_package(SQLite3 REQUIRED)
target_sources(afficheur_platform PRIVATE
    "${CMAKE_CURRENT_LIST_DIR}/Registry.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/RegistryStore.cpp")
target_link_libraries(afficheur_platform PUBLIC SQLite::SQLite3)
