# The account session with the entry list it owns: login, load, save, backups, logout, the
# automatic logout; the login
# dialog and the session commands.
kh_app_part(
    LOGIC session.cpp entry_list.cpp backup.cpp
    WINDOWS tfrm_login.cpp tfrm_logout_warning.cpp session_feature.cpp background_work.cpp)
