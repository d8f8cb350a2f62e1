#include "session_feature.h"

namespace kh {

void SessionFeature::run(CommandId action) {
    Session& session = context_.session;
    switch (action) {
    case CommandId::SaveAccountData:
        session.saveCommand();
        break;
    case CommandId::SaveAccountAs:
        session.saveAsCommand();
        break;
    case CommandId::BackupAccountData:
        session.backupCommand();
        break;
    case CommandId::LogoutCurrentAccount:
        session.logoutCommand();
        break;
    case CommandId::ToolOpenAccount:
        session.openExistingCommand();
        break;
    case CommandId::LoginExistingAccount:
        session.loginExistingCommand();
        break;
    case CommandId::SetupNewAccount:
        session.newAccountCommand(false);
        break;
    case CommandId::ImportExistingAccount:
        session.newAccountCommand(true);
        break;
    case CommandId::QuitKeyhaven:
        if (session.quitCommand()) DestroyWindow(context_.mainWindow());
        break;
    default:
        break;
    }
}

} // namespace kh
