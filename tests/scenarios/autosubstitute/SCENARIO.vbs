' A drug under prescription shows the flu banner; "substitute ever" is remembered, and making
' the drug current again asks the host to substitute it automatically.
Reachable "https://servizi.example/"
InitializeContext True, "APP", "D1", "020", "101", "MG", True, "", "Serial_Number=123&Software=ABC&Versione=2.1"
StartPrescription
PrescribingDrug "012345678", "A", True, "paracetamolo", 12.5
Click "#SUBSTITUTEEVER?aic9"
Echo "stored " & IniRead("AutoSubstitute", "012345678")
AddDrugToPrescription "012345678", "A", True, "paracetamolo", 12.5
CurrentPrescriptionDrug = "012345678"
Echo "again"
CurrentPrescriptionDrug = "012345678"
