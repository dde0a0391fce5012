' A morning of a general practitioner in Bologna, played with the sample banner package
' (samples/package). The session plays the prescription program; every Echo is a line of
' the narrator.

Reachable "https://servizi.example/home"
SetNow "07/12/2026 08:30:00"
Echo "Monday 7 December 2026, 8:30. Dr Luca Bianchi, a family doctor in Bologna, opens his prescription program; the banner control sits in a strip of its prescription screen."
Echo "The information service's home page can be reached this morning, so the control is online and shows that page whenever no banner applies."

Echo "The program starts the control with the doctor: region 080 (Emilia-Romagna), local health unit 105, general practice, national health service. The rule script sets the home page and its update addresses."
InitializeContext True, "MEDICO", "D0451", "080", "105", "MG", True, "", "Serial_Number=48213&Software=QKV&Versione=3.2"
Doctor.Name = "Dott. Luca Bianchi"
Doctor.Stamp = "Dott. Luca Bianchi - Medicina generale - Via Saragozza 12, Bologna"
Doctor.Province = "BO"

' ---- First patient: Maria Rossi
Echo "First patient: Maria Rossi, 67, treated for high blood pressure."
Patient.Id = "P0107"
Patient.Name = "Maria Rossi"
SetPatient "F", "14/03/1959", True, "401.9"
Echo "Maria is 67 and this is the first prescription of the day (slot 1 of 3): the B12 rule applies and the vitamin B12 banner appears."
StartPrescription
Echo "The doctor presses 'Prescrivi Cobalvit'. The link names two packs, so the control asks the program for their names and lets the doctor choose: he takes the tablets and answers No to 'not replaceable'."
DescribeDrug "029876015", "Cobalvit 1000 mcg 30 compresse"
DescribeDrug "029876027", "Cobalvit 1000 mcg 6 fiale"
AnswerNext "029876015"
AnswerNext "No"
ClickElement "prescrivi"
Echo "The program adds the tablets to the prescription and puts the cursor on them; no drug rule concerns them, so the B12 banner stays."
AddDrugToPrescription "029876015", "A", True, "B03BA01", 7.5
CurrentPrescriptionDrug = "029876015"
Echo "Maria also has knee pain: the doctor starts prescribing ibuprofen, an anti-inflammatory. She is over 65 and takes no stomach protector: the gastroprotection banner replaces the B12 one."
PrescribingDrug "026543018", "C", False, "M01AE01", 8.2
Echo "A click on the picture prescribes omeprazole."
ClickElement "omeprazolo"
AddDrugToPrescription "026543018", "C", False, "M01AE01", 8.2
AddDrugToPrescription "033210014", "A", True, "A02BC01", 4.9
Echo "With omeprazole on the prescription the reason for the banner is gone: the rule script clears it and the home page comes back."
CurrentPrescriptionDrug = "033210014"
EndPrescription

' ---- Second patient: Giovanni Esposito
Echo "8:50. Giovanni Esposito, 58, has type 2 diabetes and high blood pressure."
SetNow "07/12/2026 08:50:00"
Patient.Id = "P0233"
Patient.Name = "Giovanni Esposito"
SetPatient "M", "02/09/1968", True, "250.00;401.1"
Echo "No banner is on show, so as the prescription starts the control first runs the AfterSelect rules: Giovanni's diabetes calls up the leaflets banner. Then the StartPrescription rules take over: second prescription of the day, so no slot rule applies, but the flu campaign has just opened and the doctor has not seen its banner yet this season."
StartPrescription
Echo "Giovanni, being diabetic, should be vaccinated. The doctor prints the invitation letter: the control fills in patient, doctor, stamp and date, and asks the program for the surgery's address, hours and telephone."
Field "AMBULATORIO", "Via Saragozza 12, Bologna"
Field "ORARI", "dal lunedì al venerdì 9-12, martedì e giovedì anche 16-18"
Field "TELEFONO", "051 612 3456"
ClickElement "lettera"
Echo "Giovanni accepts at once: the doctor records the vaccination in the program and marks him as vaccinated, so the campaign banner will leave him alone."
ClickElement "vaccina"
ClickElement "vaccinato"
Echo "Now his cholesterol: the doctor starts prescribing Statinor 20 mg, a brand-name atorvastatin priced above the generic. The generic banner appears."
PrescribingDrug "035120018", "A", True, "C10AA05", 17.2
Echo "The doctor chooses 'Sostituisci sempre': the control remembers that Statinor is always to be replaced by the generic, and tells the program to substitute it now."
ClickElement "sempre"
Echo "Remembered for this doctor: Statinor 035120018 becomes " & IniRead("AutoSubstitute", "035120018") & "."
AddDrugToPrescription "039876543", "A", True, "C10AA05", 9.8
Echo "The generic is on the prescription. No drug rule remains, but Giovanni's diabetes does: the diabetes leaflets banner comes up."
CurrentPrescriptionDrug = "039876543"
Echo "The doctor opens the list of leaflets and prints the one on foot care, then notes that the leaflets were handed over."
AnswerNext "La cura del piede"
ClickElement "stampa"
ClickElement "consegnato"
EndPrescription

' ---- Third patient: Anna Conti
Echo "9:10. Anna Conti, 34, has a cold."
SetNow "07/12/2026 09:10:00"
Patient.Id = "P0518"
Patient.Name = "Anna Conti"
SetPatient "F", "21/06/1992", True, ""
Echo "Third prescription (slot 3): no patient rule applies, but this version of the control is new to the doctor, so the 'what's new' banner is shown once."
StartPrescription
Echo "The doctor records the diagnosis, acute nasopharyngitis (ICD-9 460): no antibiotic on the prescription, so the banner on symptomatic remedies appears."
AddProblemToPrescription "460"
Echo "He prescribes paracetamol from the pharmacy and, as Anna asks, a homeopathic remedy."
Click "#PRESCRIBEPHARMA?012745093"
Click "#PRESCRIBEHOMEOPATHIC?800412345"
EndPrescription

' ---- Fourth patient: Franco Neri
Echo "9:30. Franco Neri, 72, has bronchitis and takes Statinor."
SetNow "07/12/2026 09:30:00"
Patient.Id = "P0094"
Patient.Name = "Franco Neri"
SetPatient "M", "30/11/1954", True, "490"
Echo "Fourth prescription: slot 1 again, and Franco is over 65, so the B12 banner is back."
StartPrescription
Echo "The program loads Franco's usual Statinor. When its line becomes current the control finds the substitution remembered an hour ago and asks the program to replace it, without running the rules."
AddDrugToPrescription "035120018", "A", True, "C10AA05", 17.2
CurrentPrescriptionDrug = "035120018"
Echo "For the bronchitis the doctor prescribes amoxicillin with clavulanic acid: an antibiotic, so the lactic ferments banner appears."
PrescribingDrug "031245017", "A", True, "J01CR02", 8.7
Click "#PRESCRIBEPARAPHARMA?934561237", "Consiglia Lactoflor"
EndPrescription

' ---- Next morning
Echo "Tuesday 8 December, 8:15: a new day, so the prescription counter starts again from the first slot."
SetNow "08/12/2026 08:15:00"
Echo "Maria Rossi comes back for her blood-pressure check."
Patient.Id = "P0107"
Patient.Name = "Maria Rossi"
SetPatient "F", "14/03/1959", True, "401.9"
StartPrescription
Echo "It is slot 1 and Maria is 67, so the B12 banner comes back. The doctor marks it as not suitable for her: from now on the B12 rule skips Maria."
ClickElement "escluso"
Echo "He starts her prescription again: it is the second of the day and the B12 rule now skips her. She is a woman between 50 and 69 under the national service, a patient of a Bologna doctor: the breast screening banner, shown on her first day and recorded for her."
StartPrescription
Echo "The doctor records the proposal in her file."
ClickElement "registra"
Echo "First day Maria saw the screening banner: " & IniRead("screening", "FIRSTDATE_P0107") & "."
AddDrugToPrescription "044567012", "A", True, "C09AA05", 6.3
CurrentPrescriptionDrug = "044567012"
EndPrescription

Echo "8:40. Paolo Gallo, 45, needs a repeat prescription of his inhaler."
SetNow "08/12/2026 08:40:00"
Patient.Id = "P0611"
Patient.Name = "Paolo Gallo"
SetPatient "M", "05/05/1981", True, ""
Echo "Third prescription of the day, slot 3: nothing for Paolo and nothing new, so the home page of the information service is shown."
StartPrescription
EndPrescription
Echo "9:00. Paolo needs two more prescriptions: the fourth of the day is slot 1 again, the fifth slot 2, the slot for the doctor's own banners. Registration for the diabetes course is open and the doctor's health unit is in Bologna: the training banner."
SetNow "08/12/2026 09:00:00"
StartPrescription
StartPrescription
Echo "He saves the course page on his desktop to register in the evening."
ClickElement "salva"
Echo "End of the morning. The doctor's profile file counted every banner shown and every link pressed: the B12 banner was shown " & IniRead("B12", "SHOW") & " times and its prescribe link pressed " & IniRead("B12", "PRESCRIBE") & " time."
