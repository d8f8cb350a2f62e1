target_sources(kh_app_win32 PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/entries_feature.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tfrm_add_item.cpp
)
