target_sources(kh_app_win32 PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/tools_feature.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tfrm_generator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tfrm_setting.cpp
)
