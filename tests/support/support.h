// Everything the engine tests build on: the engines' run entry points with a plain window,
// scripted answers and a recording report, images built in code, scratch directories,
// fault injection and child processes.
#pragma once

#include <gtest/gtest.h>

#include "check_image.h"
#include "check_run.h"
#include "conversion_run.h"
#include "fault_file_system.h"
#include "image_builder.h"
#include "plain_window.h"
#include "recording.h"
#include "run_command.h"
#include "scripted_prompt.h"
#include "temp_dir.h"
