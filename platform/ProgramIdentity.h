#pragma once
// Who the program is: its version, its title and the names by which other
// processes (a second start, its installer, a later version) find it. The
// installer's build reads these lines, so each keeps its one-line form.
#include "platform/WideTypes.h"

constexpr const WideChar PROGRAM_VERSION[] = u"1.50";
constexpr const WideChar APPLICATION_TITLE[] = u"Orvanta Desktop Widget";

// This version's names, kept as they are: other programs look for them.
constexpr const WideChar INSTANCE_MUTEX_NAME[] = u"Orvanta1.50_Widget_Manager_Mutex_Name";
constexpr const WideChar MANAGER_CLASS_NAME[] = u"Orvanta1.50_Widget_Manager_Class_Name";
constexpr const WideChar MANAGER_CAPTION[] = u"Orvanta1.50_Widget_Manager_Window_Name";

// The names of a running instance of any version.
constexpr const WideChar ANY_VERSION_MUTEX_NAME[] = u"Orvanta_Running_Instance_Mutex";
constexpr const WideChar BEACON_CLASS_NAME[] = u"Orvanta_Running_Instance";
constexpr const WideChar BEACON_CAPTION[] = u"Orvanta_Running_Instance";
