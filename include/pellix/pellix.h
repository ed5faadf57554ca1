#pragma once
/// @file
/// Everything a program needs to parse and download feeds with pellix.
#include "pellix/clock.h"
#include "pellix/connectivity.h"
#include "pellix/event_loop.h"
#include "pellix/finish_text.h"
#include "pellix/net.h"
#include "pellix/parse.h"
#include "pellix/poll_event_loop.h"
#include "pellix/result_code.h"
#include "pellix/rss_comp.h"
#include "pellix/rss_file.h"
