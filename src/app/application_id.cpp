#include "app/application_id.hpp"

namespace skiff::app {

const char applicationId[] = SKIFF_APPLICATION_ID;

}  // namespace skiff::app
