target_sources(kh_app_win32 PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/clipboard_feature.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tfrm_guard.cpp
)
