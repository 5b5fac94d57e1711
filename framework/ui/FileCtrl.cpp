#include "FileCtrl.h"

#include <QDir>
#include <QStorageInfo>

namespace {

AnsiString RootOf(const AnsiString& Path) {
    QStorageInfo info(QString::fromStdString(Path));
    return info.isValid() ? info.rootPath().toStdString() : AnsiString();
}

} // namespace

KV_PUBLISHED_METACLASS(TDriveComboBox, &TCustomComboBox::ClassInfo())

void TDriveComboBox::Publish(TPublisher<TDriveComboBox>& P) {
    // The lines and the text come from the volumes, not from the form.
    P.Prop("Items", &TCustomComboBox::GetItems, &TCustomComboBox::SetItems).Stored(false);
    P.Prop("Text", &TControl::GetText, &TControl::SetText).Stored(false);
    P.Prop("Style", &TCustomComboBox::GetStyle, &TCustomComboBox::SetStyle).Default(csDropDownList);
}

TDriveComboBox::TDriveComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
    SetStyle(csDropDownList);
}

void TDriveComboBox::BuildList() {
    std::vector<AnsiString> roots;
    GetItems()->InUpdate([&] {
        GetItems()->Clear();
        for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
            if (!volume.isValid() || !volume.isReady()) continue;
            AnsiString root = volume.rootPath().toStdString();
            AnsiString name = volume.name().toStdString();
            GetItems()->Add(name.empty() ? root : root + " [" + name + "]");
            roots.push_back(root);
        }
    });
    FRoots = std::move(roots);
}

void TDriveComboBox::CreateWnd() {
    TCustomComboBox::CreateWnd();
    AnsiString drive = GetDrive();
    BuildList();
    SetDrive(drive.empty() ? QDir::currentPath().toStdString() : drive);
}

AnsiString TDriveComboBox::GetDrive() const {
    int i = GetItemIndex();
    return i >= 0 && i < static_cast<int>(FRoots.size()) ? FRoots[static_cast<size_t>(i)] : AnsiString();
}

void TDriveComboBox::SetDrive(const AnsiString& Path) {
    AnsiString root = RootOf(Path);
    for (size_t i = 0; i < FRoots.size(); ++i)
        if (FRoots[i] == root) {
            SetItemIndex(static_cast<int>(i));
            return;
        }
}
