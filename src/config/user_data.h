#pragma once
// Where the files the program keeps for the user live: the change journal and
// the saved scans, under the user's data folder (XDG data home). They hold the
// car's identification and immobiliser numbers, so they are the user's alone.
#include <QFileDevice>
#include <QString>

// The data folder's "vandrix/" followed by relative, for example
// "changes.csv" or "scans"; the folder itself is not created.
QString UserDataPath(const QString& relative);

// The mode of every file the program makes for the user.
inline constexpr QFileDevice::Permissions PrivateFileMode =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Makes the folder and every missing one above it with mode 0700; folders
// that exist keep their mode. False when it is no folder afterwards.
bool MakePrivateFolder(const QString& path);
