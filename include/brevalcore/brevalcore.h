/* The Brevalcore banner control for C and for every language with a C foreign-function
 * interface (Python ctypes, Java, C#, ...).
 *
 * A host creates one control per prescription screen (brevalcore_new), calls the members of
 * the host contract by name (brevalcore_call: "InitializeContext", "StartPrescription",
 * "Patient.Name", ...) and receives the doctor's clicks on banner links as events
 * (brevalcore_set_event_handler). Everything runs on the thread that created the control;
 * see docs/integrators-guide.md.
 *
 * Text is UTF-8 both ways. Every char * the library hands out through a char ** is the
 * caller's and is freed with brevalcore_free; every const char * it returns stays valid as
 * its comment says and is never freed by the caller. No call aborts the process: misuse
 * (a NULL or deleted handle, an unknown member, a wrong number of arguments, text that is not
 * UTF-8, a call from another thread) returns an error with a message.
 *
 * Error numbers are the platform's: 5 invalid argument, 13 type mismatch, 91 no control,
 * 438 unknown member, 450 wrong number of arguments, and the numbers of the control's own
 * failures. */
#ifndef BREVALCORE_BREVALCORE_H
#define BREVALCORE_BREVALCORE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One control. In C its type is brevalcore (also spelt brevalcore_handle); in C++, where
 * brevalcore is the namespace of <brevalcore/control.h>, it is brevalcore_handle. */
#ifdef __cplusplus
struct brevalcore_handle;
#else
typedef struct brevalcore brevalcore;
typedef struct brevalcore brevalcore_handle;
#endif
typedef struct brevalcore_event brevalcore_event; /* one event, valid during the callback */

#define BREVALCORE_ABI_VERSION 1
#define BREVALCORE_HEADLESS 1u /* no window: page model only, boxes take their default answer */

/* 1 for this interface; a later incompatible one has another number. */
int brevalcore_abi_version(void);

/* A new control. control_dir holds the doctors' settings files (BVC_<doctor>.INI); data_root
 * holds the banner folder "Brevalcore"; NULL or "" for either takes the default of the
 * integrators' guide. flags: 0 (a WebKitGTK view, which needs GTK and a display) or
 * BREVALCORE_HEADLESS. NULL on failure, with a message in *error when error is not NULL. */
brevalcore_handle *brevalcore_new(const char *control_dir, const char *data_root, unsigned flags, char **error);
/* Deletes the control; NULL, deleted handles and calls from another thread are ignored.
 * Inside one of its events, the control goes when the call that raised the event returns,
 * and raises no further event. */
void brevalcore_delete(brevalcore_handle *ctl);
/* Frees every char * the library hands out; NULL is ignored. */
void brevalcore_free(void *p);

/* Calls a member of the host contract by name, without regard to case: "InitializeContext",
 * "StartPrescription", "CurrentPrescriptionDrug", ... and the members of the fact objects by
 * path ("Patient.Name", "Doctor.Province", "Application.EnableBanners"); a property with one
 * argument is assigned, with none it is read. Arguments are UTF-8 text converted to each
 * parameter's type: Booleans "True"/"False"/"1"/"0", dates "YYYY-MM-DD" or
 * "YYYY-MM-DDTHH:MM:SS", money and numbers with "." as decimal separator. Returns 0 with the
 * member's result as text in *result (Booleans "True"/"False", "" for none; NULL result: not
 * wanted), or the error number with a message in *error (NULL error: not wanted). */
int brevalcore_call(brevalcore_handle *ctl, const char *member, int argc, const char *const *argv, char **result,
                    char **error);

/* The event handler (NULL: none), called on the control's thread during the control's calls
 * and the host's main loop. The handler may call the control, and may delete it. */
void brevalcore_set_event_handler(brevalcore_handle *ctl, void (*fn)(void *user, brevalcore_event *ev), void *user);
/* "OnCommandClick", "OnCommandClickExtended", "OnRequiredDrugDescription", "OnClick",
 * "OnRequiredField"; NULL for a NULL event. */
const char *brevalcore_event_name(const brevalcore_event *ev);
/* The number of arguments; -1 for a NULL event. */
int brevalcore_event_argc(const brevalcore_event *ev);
/* Argument i, UTF-8; OnClick's button as digits. NULL when i is out of range. Valid until the
 * handler returns or the argument is set. */
const char *brevalcore_event_arg(const brevalcore_event *ev, int i);
/* Answers a by-reference argument: argument 1 of OnCommandClick, OnRequiredDrugDescription
 * and OnRequiredField. An argument that is not by reference, out of range, or a value that is
 * NULL or not UTF-8 is refused: the argument keeps its value and the reason is in
 * brevalcore_last_error of the control. */
void brevalcore_event_set_arg(brevalcore_event *ev, int i, const char *value);

/* The address of the page shown ("about:blank", "file:///..."); NULL for a NULL control.
 * Valid until the next call on the control. */
const char *brevalcore_page(const brevalcore_handle *ctl);
/* Presses the link with this href on the page shown, as a mouse press would (headless
 * controls). 0, or an error number with the reason in brevalcore_last_error. */
int brevalcore_click(brevalcore_handle *ctl, const char *href);

/* The message of the last failed call on this control (made on this thread), "" when the last
 * call succeeded; never NULL. Valid until the next call on the control. */
const char *brevalcore_last_error(const brevalcore_handle *ctl);

/* What the control tells the host besides its results: every script error, load failure,
 * package update result and lost trace, also those it shows the doctor in a message box.
 * Valid during the callback. */
typedef struct brevalcore_diagnostic {
  const char *kind;      /* "Script", "Load", "PackageUpdate", "Trace", "Call" */
  int error;             /* 0 for outcomes that are no failure (a package unpacked) */
  int number;            /* the platform's error number; 0 when there is none */
  const char *procedure; /* "Init", "OnStartPrescription", ... */
  const char *message;   /* the whole text */
  const char *file;      /* the script, page or package concerned; "" when none */
  int line;              /* scripts: 1-based; 0 when unknown */
  int column;
} brevalcore_diagnostic;
void brevalcore_set_diagnostics_handler(brevalcore_handle *ctl, void (*fn)(void *user, const brevalcore_diagnostic *d),
                                        void *user);

/* Typed forms of the most frequent calls; each returns 0 or an error number, as brevalcore_call. */
int brevalcore_start_prescription(brevalcore_handle *ctl);
int brevalcore_add_drug_to_prescription(brevalcore_handle *ctl, const char *aic, const char *drug_class, int ssn,
                                        const char *substance, int64_t price_cents);
int brevalcore_end_prescription(brevalcore_handle *ctl);

/* The container: what a window that shows the control tells it (see <brevalcore/gtk.h>). */
void brevalcore_resize(brevalcore_handle *ctl, int width, int height);
void brevalcore_set_container_visible(brevalcore_handle *ctl, int visible);
/* The GtkWidget of the web view, owned by the control; NULL for headless controls. */
void *brevalcore_native_view(const brevalcore_handle *ctl);
/* The GtkWindow that owns the control's dialogs; NULL for none. */
void brevalcore_set_dialog_parent(brevalcore_handle *ctl, void *gtk_window);

#ifdef __cplusplus
}
#endif

#endif /* BREVALCORE_BREVALCORE_H */
