// Prints the accessibility tree of one running program as a screen reader sees it, through
// AT-SPI, one object a line: depth|role|name|name of the object it is labelled by|showing.
//   atspi_dump PID
// The program must already be on the accessibility bus; it is waited for a few seconds.
#include <atspi/atspi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kWaitForProgramMs = 10000;
constexpr int kPollMs = 100;
// A bound on what is walked: a broken tree must not keep the test waiting.
constexpr int kMaxDepth = 40;
constexpr int kMaxChildren = 400;

std::string Take(gchar* text) {
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

std::string LabelledBy(AtspiAccessible* object) {
  GArray* relations = atspi_accessible_get_relation_set(object, nullptr);
  std::string label;
  for (guint i = 0; relations && i < relations->len; ++i) {
    AtspiRelation* relation = g_array_index(relations, AtspiRelation*, i);
    if (label.empty() && atspi_relation_get_relation_type(relation) == ATSPI_RELATION_LABELLED_BY &&
        atspi_relation_get_n_targets(relation) > 0) {
      AtspiAccessible* target = atspi_relation_get_target(relation, 0);
      label = Take(atspi_accessible_get_name(target, nullptr));
      g_object_unref(target);
    }
    g_object_unref(relation);
  }
  if (relations) g_array_free(relations, TRUE);
  return label;
}

void Dump(AtspiAccessible* object, int depth) {
  AtspiStateSet* states = atspi_accessible_get_state_set(object);
  const bool showing = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
  if (states) g_object_unref(states);
  std::printf("%d|%s|%s|%s|%d\n", depth, Take(atspi_accessible_get_role_name(object, nullptr)).c_str(),
              Take(atspi_accessible_get_name(object, nullptr)).c_str(), LabelledBy(object).c_str(), showing ? 1 : 0);
  if (depth >= kMaxDepth) return;
  const int children = atspi_accessible_get_child_count(object, nullptr);
  for (int i = 0; i < children && i < kMaxChildren; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, nullptr);
    if (!child) continue;
    Dump(child, depth + 1);
    g_object_unref(child);
  }
}

AtspiAccessible* FindProgram(guint pid) {
  AtspiAccessible* desktop = atspi_get_desktop(0);
  AtspiAccessible* found = nullptr;
  const int programs = atspi_accessible_get_child_count(desktop, nullptr);
  for (int i = 0; i < programs && !found; ++i) {
    AtspiAccessible* program = atspi_accessible_get_child_at_index(desktop, i, nullptr);
    if (program && atspi_accessible_get_process_id(program, nullptr) == pid) found = program;
    else if (program) g_object_unref(program);
  }
  g_object_unref(desktop);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: atspi_dump PID\n");
    return 2;
  }
  if (atspi_init() > 1) {
    std::fprintf(stderr, "atspi_dump: no accessibility bus\n");
    return 1;
  }
  const guint pid = static_cast<guint>(std::strtoul(argv[1], nullptr, 10));
  AtspiAccessible* program = nullptr;
  for (int waited = 0; !program && waited < kWaitForProgramMs; waited += kPollMs) {
    program = FindProgram(pid);
    if (!program) g_usleep(kPollMs * 1000);
  }
  if (!program) {
    std::fprintf(stderr, "atspi_dump: program %u is not on the accessibility bus\n", pid);
    return 1;
  }
  Dump(program, 0);
  g_object_unref(program);
  return 0;
}
