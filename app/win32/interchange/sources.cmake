target_sources(kh_app_win32 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/interchange_feature.cpp)
