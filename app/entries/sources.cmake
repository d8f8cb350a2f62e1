# The entry commands with the entry wizard.
kh_app_part(
    LOGIC entry_commands.cpp entry_wizard.cpp
    WINDOWS entries_feature.cpp tfrm_add_item.cpp)
