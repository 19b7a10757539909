#include "app/application.h"

APPLICATION_RECORD Application;
