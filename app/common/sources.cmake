# What every feature shares: the command table, the settings, the Password Guard, the
# platform interfaces; their Win32 implementations, the program and profile folders and
# config.ini.
kh_app_part(
    LOGIC command_table.cpp settings.cpp password_guard.cpp
    WINDOWS win32_services.cpp app_folders.cpp profile_store.cpp)
