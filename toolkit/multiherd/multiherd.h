#pragma once
// The multi-herd branch of FindConStr: connect to the central server (saved settings or the
// connect dialog), list the herds of the directory database `Masters`, let the user choose one
// and return its settings.

#include <QString>
#include <functional>
#include <memory>

class TMSConnection;
class TMSQuery;
class TMultiUserForm;

namespace rimo {

// The toolkit object's parts the choice works with.
struct MultiHerdParts
{
    TMSConnection& central;                   // with its connect dialog
    TMSQuery& ask;                            // a query on `central`
    std::unique_ptr<TMultiUserForm>& chooser; // made here at its first use
    QString appPath;                          // the program folder, which keeps the saved central connection
    // The keyboard: English while the central connection is typed, Persian afterwards.
    std::function<void()> switchToEnglish;
    std::function<void()> switchToFarsi;
};

// Fills the four settings from the chosen herd's row. Failures ask the program to end; a failed
// central connection also empties the settings, later failures leave them as they were. Errors
// of the directory statements themselves are passed on to the caller.
void findMultiHerdSettings(const MultiHerdParts& parts, QString& InUser, QString& InPass, QString& InServer,
                           QString& InDatabase);

} // namespace rimo
