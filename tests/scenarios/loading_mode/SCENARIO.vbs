' Items loaded between Begin and EndLoadingPrescriptionItems run no script; the end runs
' AfterSelect once when no banner is chosen and the control is visible.
Reachable "https://servizi.example/"
InitializeContext True, "APP", "D1", "020", "101", "MG", True, "", "Serial_Number=123&Software=ABC&Versione=2.1"
BeginLoadingPrescriptionItems
PrescribingDrug "012345678", "A", True, "paracetamolo", 12.5
Echo "loading: still " & context.Banner
EndLoadingPrescriptionItems
Visible False
BeginLoadingPrescriptionItems
EndLoadingPrescriptionItems
Echo "hidden: nothing shown"
