# The Tools menu: the guard switch, the file remover, the generator and the preferences.
kh_app_part(
    LOGIC generator_dialog.cpp settings_dialog.cpp
    WINDOWS tools_feature.cpp tfrm_generator.cpp tfrm_setting.cpp)
