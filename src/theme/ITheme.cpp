#include "theme/ITheme.h"

namespace Theme {

ITheme::ITheme(QObject* parent)
    : QObject(parent)
{
}

ITheme::~ITheme() = default;

} // namespace Theme
