target_sources(kh_app_win32 PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/account_feature.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tfrm_wizard.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tfrm_change_password.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tfrm_edit_entry.cpp
)
