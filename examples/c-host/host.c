/* A headless host in plain C: it initialises the control for a doctor, plays a short
 * prescription for a patient of 76, prints every event and diagnostic, and presses a link of
 * the banner the rules chose, answering the control's questions about drug descriptions.
 *
 *   c-host CONTROL_DIR DATA_ROOT PACKAGE_DIR
 *
 * PACKAGE_DIR holds the banner package BVCRES.DLL (an installation puts the sample package in
 * share/brevalcore). */
#include <stdio.h>
#include <string.h>

#include <brevalcore/brevalcore.h>

static int failures;

/* Calls a member, prints its result or its error. */
static void call(brevalcore *ctl, const char *member, int argc, const char *const *argv) {
  char *result = NULL, *error = NULL;
  int rc = brevalcore_call(ctl, member, argc, argv, &result, &error);
  if (rc == 0) {
    printf("%s -> %s\n", member, *result ? result : "(nothing)");
  } else {
    printf("%s failed: %d %s\n", member, rc, error);
    failures++;
  }
  brevalcore_free(result);
  brevalcore_free(error);
}

static void on_event(void *user, brevalcore_event *ev) {
  brevalcore *ctl = user;
  const char *name = brevalcore_event_name(ev);
  int i;
  printf("event %s(", name);
  for (i = 0; i < brevalcore_event_argc(ev); i++) printf(i ? ", \"%s\"" : "\"%s\"", brevalcore_event_arg(ev, i));
  printf(")\n");

  if (strcmp(name, "OnRequiredDrugDescription") == 0) {
    /* Argument 1 is passed by reference: the description shown in the doctor's list. */
    char description[128];
    snprintf(description, sizeof description, "Drug %s", brevalcore_event_arg(ev, 0));
    brevalcore_event_set_arg(ev, 1, description);
  } else if (strcmp(name, "OnCommandClickExtended") == 0 && strncmp(brevalcore_event_arg(ev, 0), "PRESCRIBE", 9) == 0) {
    /* The host prescribes, then reports the drug: calling the control from its own event. */
    const char *drug[] = {brevalcore_event_arg(ev, 1), "A", "True", "", "12.50"};
    call(ctl, "AddDrugToPrescription", 5, drug);
  }
}

static void on_diagnostic(void *user, const brevalcore_diagnostic *d) {
  (void)user;
  printf("diagnostic %s%s: %s\n", d->kind, d->error ? " (error)" : "", d->message);
}

int main(int argc, char **argv) {
  char *error = NULL;
  brevalcore *ctl;
  if (argc != 4) {
    fprintf(stderr, "usage: %s CONTROL_DIR DATA_ROOT PACKAGE_DIR\n", argv[0]);
    return 2;
  }
  printf("ABI %d\n", brevalcore_abi_version());
  ctl = brevalcore_new(argv[1], argv[2], BREVALCORE_HEADLESS, &error);
  if (!ctl) {
    fprintf(stderr, "no control: %s\n", error);
    brevalcore_free(error);
    return 1;
  }
  brevalcore_set_event_handler(ctl, on_event, ctl);
  brevalcore_set_diagnostics_handler(ctl, on_diagnostic, NULL);

  {
    const char *init[] = {"True", "HOST", "D1", "080", "101", "MG", "True", argv[3],
                          "Serial_Number=123&Software=ABC&Versione=2.1"};
    const char *patient[] = {"M", "1950-04-12", "True", "401.9"};
    const char *name[] = {"Mario Rossi"};
    call(ctl, "InitializeContext", 9, init);
    call(ctl, "Patient.Name", 1, name);
    call(ctl, "SetPatient", 4, patient);
  }
  if (brevalcore_start_prescription(ctl) != 0) failures++;
  printf("page %s\n", brevalcore_page(ctl));

  if (strstr(brevalcore_page(ctl), "B12.html")) {
    if (brevalcore_click(ctl, "#PRESCRIBE?029876015&029876027?NOTREPLACEABLE=2") != 0) {
      printf("click failed: %s\n", brevalcore_last_error(ctl));
      failures++;
    }
  }
  call(ctl, "CurrentPrescriptionDrug", 0, NULL);
  if (brevalcore_end_prescription(ctl) != 0) failures++;
  call(ctl, "Destroy", 0, NULL);
  brevalcore_delete(ctl);
  printf("%s\n", failures ? "failed" : "done");
  return failures ? 1 : 0;
}
