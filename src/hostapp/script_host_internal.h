// The pieces of the scripted host behind ScriptHost: conversions between JSON and the values a
// host call carries, the table of host interface members, and the actions, snapshots and
// checks on controls. Internal to the library; only ScriptHost and its tests use it.
#ifndef KORVANE_HOSTAPP_SCRIPT_HOST_INTERNAL_H_
#define KORVANE_HOSTAPP_SCRIPT_HOST_INTERNAL_H_

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/control.h"
#include "controls/form.h"
#include "host/host_context.h"
#include "host/interfaces.h"
#include "host/parameter_set.h"
#include "hostapp/module_driver.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::hostapp::script {

using Json = DriverJson;

// A fault of the script rather than of the module (an unknown name, a wrong argument): the
// step fails with this text.
using ScriptError = DriverError;

// --- Values ---------------------------------------------------------------------------------

// A value as JSON: numbers, texts, booleans, null for empty and null; a date as "yyyy-mm-dd"
// ("yyyy-mm-dd hh:mm:ss" with a time of day).
Json ToJson(const Variant& value);
// Entries in their order, as an object.
Json ToJson(const ParameterSet& parameters);
// {"columns": [...], "rows": [[...], ...]}.
Json ToJson(const Recordset& rows);

// Script values for host calls. `what` names the argument in the error ("argument 2 of Find").
// Throws ScriptError when the JSON is of another kind.
std::int32_t ToInt32(const Json& value, std::string_view what);
double ToDouble(const Json& value, std::string_view what);
bool ToBool(const Json& value, std::string_view what);
std::string ToText(const Json& value, std::string_view what);
// null -> Null; {"date": "yyyy-mm-dd"} -> a date; numbers, texts, booleans as they are.
Variant ToVariant(const Json& value, std::string_view what);
// A list of conditions, each [flag, field-and-operator, value], -> a 3 x n array (one column
// per condition); null or [] -> the empty array.
VariantArray ToConditions(const Json& value, std::string_view what);
// An object -> a BasicParameterSet with its entries in order; null -> nullptr.
std::shared_ptr<ParameterSet> ToParameters(const Json& value, std::string_view what);

// Whether an actual value is what a script expects: numbers by value (within 1e-9, and a
// text that is exactly a number's digits matches that number), arrays and objects member by
// member, everything else exactly.
bool SameValue(const Json& expected, const Json& actual);
// The JSON text of a value, for messages; never throws. A value nested deeper than
// kMaxAnswerDepth shows as a note saying so.
std::string Show(const Json& value);
// Checks the named members of `expected` (an object) against those of `actual`, leaving the
// others of `actual` unlooked at; a member `actual` lacks, or an `actual` that is no object,
// is a mismatch. `what` names `actual` in the messages ("the record of module cp").
void CheckFields(const std::string& what, const Json& actual, const Json& expected,
                 std::vector<std::string>& failures);

// A record a module handed out (a picker's Objects) as an object of its properties in the
// record's order; null for none. Throws ScriptError for an object that is no PropertyBag.
Json RecordJson(const std::shared_ptr<Object>& record);

// How deeply a step's lists and objects may nest. Real steps nest a handful of levels; a
// deeper one is refused as it is read, before nlohmann::json's recursive dumps, copies and
// comparisons (and this host's) could run out of stack on it.
inline constexpr int kMaxStepDepth = 100;
// An answer holds what a step gave a few levels deeper.
inline constexpr int kMaxAnswerDepth = kMaxStepDepth + 10;

// The step a script line holds. Throws ScriptError for malformed JSON and for lists and
// objects nested more than kMaxStepDepth deep.
Json ParseStep(std::string_view line);
// Whether the value's lists and objects nest at most `levels` deep (a number or text: 0, [1]:
// 1). Walks without recursing, so any value may be asked about.
bool NestsWithin(const Json& value, int levels);
// The answer as one line of JSON. Throws ScriptError when it nests deeper than
// kMaxAnswerDepth.
std::string DumpAnswer(const Json& answer);

// --- Host interface members ------------------------------------------------------------------

using hostapp::ModuleInterfaces;

// Calls the member named `member` ("Refresh", or "IReportUI.Refresh" to choose the interface)
// with the script's arguments, and returns its result as JSON. Without an interface name the
// first interface of the module that has the member answers, in the order IFormUI, IReportUI,
// IPickerUI, IToolUI, IDesignUI. Init gets `host` ahead of the script's arguments.
// Throws ScriptError for an unknown member, one the module does not implement, or wrong
// arguments; exceptions from the module pass through.
Json CallMember(const ModuleInterfaces& module, std::string_view member, const Json& args,
                const std::shared_ptr<HostContext>& host);
// Calls Clear on the first interface the module has; false when it has none.
bool ClearModule(const ModuleInterfaces& module);

// --- Controls --------------------------------------------------------------------------------

using ControlList = std::vector<std::unique_ptr<controls::Control>>;

std::string_view KindName(controls::ControlKind kind);
// "qxTxt(2)" or "qxGrid".
std::string ControlLabel(const controls::Control& control);

// The control the step names with "control" and "index" (no index: the control outside any
// array, else the only control of that name). Throws ScriptError naming what is missing.
controls::Control& FindControl(const ControlList& list, const Json& step, std::string_view where);

// A person's action ("act") on a control, with the step's further keys. Returns the action's
// result (whether it happened; for typing, whether the field accepted the text on leaving).
// Throws ScriptError for an action the control does not know, a control that is disabled or
// hidden, a cell outside the grid, or missing or wrong keys.
Json Act(controls::Control& control, const Json& step);

// Key codes by name ("Return", "F2", "Down", "A") or number; shift as a number or names
// ("shift", "ctrl", "alt") in a text joined with "+" or a list.
int KeyCode(const Json& key);
int ShiftState(const Json& shift);

// Every control of the list with its state; grids with their cells, and trees with their nodes.
Json Snapshot(const ControlList& list, const controls::Form* form);
Json ControlState(const controls::Control& control);

// Gives the form a new inner size ("width" and "height" in twips), as a person dragging its
// border does; the form's Resize fires.
Json ResizeForm(controls::Form& form, const Json& step);

// Checks the expectation's keys against the control's state; every mismatch or unknown key
// appends a message to `failures`.
void CheckControl(const controls::Control& control, const Json& expect,
                  std::vector<std::string>& failures);

// --- Files the modules wrote --------------------------------------------------------------

// The print data file at `path` as {"file", "values", "tables"}. Throws ScriptError when it
// cannot be read or is no print data file.
Json ReadPrintFile(const std::string& path);
// Checks a print data file's content against {"values": {...}, "table": name, "rows": n,
// "cells": [[row, col, text], ...]}; the table defaults to the file's first.
void CheckPrint(const Json& content, const Json& expect, std::vector<std::string>& failures);

// The user's settings file `name` (as the modules name it, "2101FmMCpml_Sr") as an object of
// sections, each an object of its keys' values as the modules read them; {} when the file is
// missing. Throws ScriptError when the host's settings are no INI files.
Json ReadSettingsFile(HostContext& host, const std::string& name);
// A section of ReadSettingsFile's object, or a key's value of a section, by name (ASCII case
// ignored); null when missing.
Json SettingsSection(const Json& file, std::string_view section);
Json SettingsValue(const Json& section, std::string_view key);
// Checks {"file", "section", "values": {key: value or null for absent}}.
void CheckSettings(HostContext& host, const Json& expect, std::vector<std::string>& failures);

}  // namespace korvane::hostapp::script

#endif  // KORVANE_HOSTAPP_SCRIPT_HOST_INTERNAL_H_
