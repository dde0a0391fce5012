' The worked examples of the banner links, for a banner B1 on show.
InitializeContext True, "APP", "D1", "080", "101", "MG", True, "", "Software=ABC"
Patient.Name = "Paziente Prova"
StartPrescription
Echo "banner " & context.Banner

Click "#SHELL?leaflet.pdf"
Echo "SHELL counted " & IniRead("B1", "SHELL")

AnswerNext "Scheda B"
ClickElement "docs"

Click "#LINK?https://www.example.org/"

Click "#SAVELINK?https://www.example.org/agenda|Agenda"

PrescribingDrug "aic1", "N02", True, "paracetamolo", 1
Click "#SUBSTITUTEEVER?aic9"
Echo "stored " & IniRead("AutoSubstitute", "aic1")

Click "#SUBSTITUTE?aic9?NOTREPLACEABLE=0"

DescribeDrug "aic1", "Farmaco Uno"
DescribeDrug "aic2", "Farmaco Due"
AnswerNext "aic2"
AnswerNext "Yes"
Click "#PRESCRIBE?aic1&aic2?MODE=1&NOTREPLACEABLE=2"

Click "#VOLUNTAS?abc"

Field "NOTE", "Ok"
Click "#DOCUMENT?lettera.rtf"

Click "#SAVEKEYDATA?consenso=si"
Echo "consenso " & IniRead("B1", "consenso")
