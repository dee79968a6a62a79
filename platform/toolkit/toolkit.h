// The widget toolkit model in one include: headless widgets that carry the
// state and events of a tree view, list view, status bar, image list, picture
// box, timer and property bag, for a control to be built from and a view to
// show. See each header for its class.
#ifndef QVR_PLATFORM_TOOLKIT_TOOLKIT_H_
#define QVR_PLATFORM_TOOLKIT_TOOLKIT_H_

#include "platform/toolkit/column_header.h"
#include "platform/toolkit/column_headers.h"
#include "platform/toolkit/event_loop.h"
#include "platform/toolkit/image_list.h"
#include "platform/toolkit/list_item.h"
#include "platform/toolkit/list_items.h"
#include "platform/toolkit/list_view.h"
#include "platform/toolkit/list_view_observer.h"
#include "platform/toolkit/manual_event_loop.h"
#include "platform/toolkit/message_service.h"
#include "platform/toolkit/node.h"
#include "platform/toolkit/nodes.h"
#include "platform/toolkit/panel.h"
#include "platform/toolkit/picture_box.h"
#include "platform/toolkit/property_bag.h"
#include "platform/toolkit/recording_message_service.h"
#include "platform/toolkit/small_icons.h"
#include "platform/toolkit/status_bar.h"
#include "platform/toolkit/timer.h"
#include "platform/toolkit/toolkit_constants.h"
#include "platform/toolkit/toolkit_errors.h"
#include "platform/toolkit/tree_view.h"
#include "platform/toolkit/tree_view_observer.h"
#include "platform/toolkit/user_control.h"
#include "platform/toolkit/widget.h"
#include "platform/toolkit/widget_observer.h"
#include "platform/toolkit/window_messages.h"

#endif  // QVR_PLATFORM_TOOLKIT_TOOLKIT_H_
