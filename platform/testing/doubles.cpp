#include "platform/testing/doubles.h"

#include <QDialog>

namespace rimo::fakes {

int FakeDialogs::messageBox(const MessageBoxRequest& request)
{
    messages << request;
    if (messageAnswers.empty())
        return request.defaultButton;
    const int answer = messageAnswers.front();
    messageAnswers.pop_front();
    if (answer != Closed)
        return answer;
    if (request.escapeButton >= 0)
        return request.escapeButton;
    if (request.closableWithoutButton)
        return -1;
    ++refusedCloses;
    return request.defaultButton;
}

QString FakeDialogs::saveFileName(const FileDialogRequest& request)
{
    fileRequests << request;
    if (fileAnswers.empty())
        return {};
    QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

QString FakeDialogs::openFileName(const FileDialogRequest& request)
{
    return saveFileName(request);
}

QString FakeDialogs::existingDirectory(const DirectoryDialogRequest& request)
{
    directoryRequests << request;
    if (directoryAnswers.empty())
        return {};
    QString answer = directoryAnswers.front();
    directoryAnswers.pop_front();
    return answer;
}

int FakeDialogs::exec(QDialog& dialog)
{
    execTitles << dialog.windowTitle();
    if (execAnswers.empty())
        return QDialog::Rejected;
    auto answer = std::move(execAnswers.front());
    execAnswers.pop_front();
    return answer(dialog);
}

QStringList FakeDialogs::texts() const
{
    QStringList out;
    for (const auto& m : messages)
        out << m.text;
    return out;
}

quintptr RecordingKeyboard::loadAndActivate(const QString& layoutId)
{
    calls << QStringLiteral("load:") + layoutId;
    if (failLoads)
        return 0;
    const quintptr handle = m_next++;
    m_loaded.append({handle, layoutId});
    return handle;
}

void RecordingKeyboard::unload(quintptr handle)
{
    for (const auto& [h, id] : m_loaded) {
        if (h == handle) {
            calls << QStringLiteral("unload:") + id;
            return;
        }
    }
    calls << QStringLiteral("unload:?");
}

} // namespace rimo::fakes
