[Header]
Name=Quovant(R) Custom Data INI file
Version=1.0
CreationDate=904651200
LastModifiedDate=904737600
[Form]
FormName=Office survey
FormDescription=Where and how you work
Field1=EDIT, Room, Room number, R, 
FieldNote1=As printed on the door
Field2=LISTBOX, Floor, Which floor?, NR, {Ground, First, Second}
FieldNote2=
Field3=PAGEBREAK
FieldNote3=
Field4=COMBOBOX, Color, {Color, if any}, NR, {Red, {Blue, dark}, Green}
FieldNote4=Pick or type one
