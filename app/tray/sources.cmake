# The resident program: the notification-area icon and its menu, the hotkey, autorun and
# the account file type.
kh_app_part(
    LOGIC resident.cpp registration.cpp hotkey.cpp
    WINDOWS q_tray_icon.cpp tray_feature.cpp win32_registry.cpp)
