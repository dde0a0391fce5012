' The rules of the sample package on the days and patients the demo does not reach: the
' campaign's opening and then patients at risk only, the screening reminder on a later visit
' and no third showing, the B12 banner withdrawn while it is being prescribed and skipped for
' marked patients, no generic banner for the generic itself, the training banner hidden for
' good. The comments give each prescription's slot of three.
Reachable "https://servizi.example/home"
SetNow "01/12/2026 08:00:00"
InitializeContext True, "MEDICO", "D9", "080", "101", "MG", True, "", "Serial_Number=2&Software=QKV&Versione=3.2"
Doctor.Province = "MO"

Echo "1 December. A man of 30: the flu campaign's opening, then what's new, then nothing"
Patient.Id = "S0"
SetPatient "M", "01/01/1996", True, ""
StartPrescription   ' slot 1
StartPrescription   ' slot 2
StartPrescription   ' slot 3
Echo "banner [" & context.Banner & "]"

Echo "A woman of 70 in slot 1: B12; prescribing the B12 vials withdraws it"
Patient.Id = "S1"
SetPatient "F", "01/01/1956", True, ""
StartPrescription   ' slot 1
PrescribingDrug "029876027", "A", True, "B03BA01", 5.9
Echo "banner [" & context.Banner & "]"
Echo "the generic atorvastatin brings no banner"
PrescribingDrug "039876543", "A", True, "C10AA05", 9.8
Echo "banner [" & context.Banner & "]"

Echo "A woman of 55: screening on her first day, twice that day"
Patient.Id = "S2"
SetPatient "F", "01/01/1971", True, ""
StartPrescription   ' slot 2
StartPrescription   ' slot 3
Echo "banner " & context.Banner & ", first " & IniRead("screening", "FIRSTDATE_S2")

Echo "3 December: the reminder once, then no more"
SetNow "03/12/2026 08:00:00"
StartPrescription   ' slot 1
Echo "banner " & context.Banner & ", last " & IniRead("screening", "LASTDATE_S2")
StartPrescription   ' slot 2
Echo "banner [" & context.Banner & "]"

Echo "A man of 40 with heart failure is at risk: the flu banner until he is vaccinated"
Patient.Id = "S3"
SetPatient "M", "01/01/1986", True, "428.0"
StartPrescription   ' slot 3
Echo "banner [" & context.Banner & "]"
Click "#SAVEPATIENTKEYDATA?vaccinato=si"
StartPrescription   ' slot 1
Echo "banner [" & context.Banner & "]"

Echo "A woman of 80, vaccinated, then marked as not suitable for B12"
Patient.Id = "S5"
SetPatient "F", "01/01/1946", True, ""
StartPrescription   ' slot 2
Click "#SAVEPATIENTKEYDATA?vaccinato=si"
StartPrescription   ' slot 3
StartPrescription   ' slot 1
Echo "banner " & context.Banner
Click "#SAVEPATIENTKEYDATA?escluso=si"
StartPrescription   ' slot 2
StartPrescription   ' slot 3
StartPrescription   ' slot 1
Echo "slot 1, marked: [" & context.Banner & "]"

Echo "A woman of 80 with pernicious anaemia, vaccinated: no B12 in slot 1"
Patient.Id = "S6"
SetPatient "F", "01/01/1946", True, "281.0"
StartPrescription   ' slot 2
Click "#SAVEPATIENTKEYDATA?vaccinato=si"
StartPrescription   ' slot 3
StartPrescription   ' slot 1
Echo "slot 1, anaemia: [" & context.Banner & "]"

Echo "4 December, a doctor of health unit 105: the training banner in slot 2, hidden for good"
SetNow "04/12/2026 08:00:00"
InitializeContext True, "MEDICO", "D10", "080", "105", "MG", True, "", "Serial_Number=3&Software=QKV&Versione=3.2"
Doctor.Province = "BO"
Patient.Id = "S7"
SetPatient "M", "01/01/1996", True, ""
StartPrescription   ' slot 1: the campaign's opening for this doctor
StartPrescription   ' slot 2
Echo "banner [" & context.Banner & "]"
ClickElement "nascondi"
SetNow "05/12/2026 08:00:00"
StartPrescription   ' slot 1: what's new, new to this doctor
StartPrescription   ' slot 2
Echo "banner [" & context.Banner & "], nascondi " & IniRead("ecm", "nascondi")
