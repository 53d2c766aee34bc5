#pragma once
// Where the files the program keeps for the user live: the change journal and
// the saved scans, under the user's data folder (XDG data home).
#include <QString>

// The data folder's "vandrix/" followed by relative, for example
// "changes.csv" or "scans"; the folder itself is not created.
QString UserDataPath(const QString& relative);
