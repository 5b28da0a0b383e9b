#include "ForcePopupsInParentWindow.h"

ForcePopupsInParentWindow::~ForcePopupsInParentWindow() = default;

juce::Component* ForcePopupsInParentWindow::getParentComponentForMenuOptions(const juce::PopupMenu::Options& options)
{
    return options.getParentComponent();
}
