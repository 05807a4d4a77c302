#include "ui/Launch.h"

namespace tagshift::ui {

Platform ThisPlatform() { return Platform::Windows; }

}  // namespace tagshift::ui
