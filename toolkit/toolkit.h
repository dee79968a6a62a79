// The widget toolkit model in one include: headless widgets that carry the
// state and events of a tree view, list view, status bar, image list, picture
// box, timer and property bag, for a control to be built from and a view to
// show. See each header for its class.
#ifndef QVR_TOOLKIT_TOOLKIT_H_
#define QVR_TOOLKIT_TOOLKIT_H_

#include "toolkit/column_header.h"
#include "toolkit/column_headers.h"
#include "toolkit/event_loop.h"
#include "toolkit/image_list.h"
#include "toolkit/list_item.h"
#include "toolkit/list_items.h"
#include "toolkit/list_view.h"
#include "toolkit/list_view_observer.h"
#include "toolkit/manual_event_loop.h"
#include "toolkit/message_service.h"
#include "toolkit/node.h"
#include "toolkit/nodes.h"
#include "toolkit/panel.h"
#include "toolkit/picture_box.h"
#include "toolkit/property_bag.h"
#include "toolkit/recording_message_service.h"
#include "toolkit/small_icons.h"
#include "toolkit/status_bar.h"
#include "toolkit/timer.h"
#include "toolkit/toolkit_constants.h"
#include "toolkit/toolkit_errors.h"
#include "toolkit/tree_view.h"
#include "toolkit/tree_view_observer.h"
#include "toolkit/user_control.h"
#include "toolkit/widget.h"
#include "toolkit/widget_observer.h"
#include "toolkit/window_messages.h"

#endif  // QVR_TOOLKIT_TOOLKIT_H_
