#include "ui/Launch.h"

namespace tagshift::ui {

Platform ThisPlatform() { return Platform::Posix; }

}  // namespace tagshift::ui
