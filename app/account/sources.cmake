# The account wizard, the change-password and account-information dialogs.
kh_app_part(
    LOGIC account_wizard.cpp account_dialogs.cpp
    WINDOWS account_feature.cpp tfrm_wizard.cpp tfrm_wizard_design.cpp
            tfrm_change_password.cpp tfrm_edit_entry.cpp)
