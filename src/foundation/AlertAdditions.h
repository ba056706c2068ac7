#pragma once
#include <QString>

// The system's one form of error report to the user: a critical alert with the message alone
// and the default button, shown modally through the installed alert presenter.
void runModalError(const QString& message);
