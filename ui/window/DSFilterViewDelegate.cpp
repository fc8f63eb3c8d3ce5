#include "ui/window/DSFilterViewDelegate.h"

namespace {

DSFilterViewDelegate::Maker &maker()
{
    static DSFilterViewDelegate::Maker registered;
    return registered;
}

} // namespace

void DSFilterViewDelegate::registerClass(Maker make)
{
    maker() = std::move(make);
}

const DSFilterViewDelegate::Maker &DSFilterViewDelegate::registeredClass()
{
    return maker();
}
