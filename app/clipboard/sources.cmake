# The clipboard commands and the Password Guard's window.
kh_app_part(
    LOGIC clipboard_commands.cpp
    WINDOWS clipboard_feature.cpp tfrm_guard.cpp)
