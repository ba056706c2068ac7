#include "foundation/AlertAdditions.h"

#include "platform/document/AlertPresenter.h"

void runModalError(const QString& message)
{
    platform::AlertPresenter::current().runModal(platform::AlertStyle::Critical, message);
}
