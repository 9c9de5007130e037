[Header]
Name=Own header
Version=2.5
CreationDate=1
LastModifiedDate=2
[Form]
FormName=Mixed
FormDescription=
Field1=, {Inv, id}, Size {cm}, NR, 
FieldNote1=braces without a comma stay as they are
Field2=SEPARATOR
FieldNote2=
Field3=LISTBOX, Pick, Pick one, R, {, {a,b}, {c}}
FieldNote3=
