# One instance per user: a second start hands over to the running one.
target_sources(kh_app_win32 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/single_instance.cpp)
target_include_directories(kh_app_win32 PRIVATE ${CMAKE_BINARY_DIR}/app/generated)
