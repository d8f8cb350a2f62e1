# The notification-area icon and its menu, the global hotkey, autorun and the account
# file type.
target_sources(kh_app_win32 PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/q_tray_icon.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tray_feature.cpp
    ${CMAKE_CURRENT_LIST_DIR}/install_tray.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32_registry.cpp
)
