PU;
PA1,-1;
PA-2,1;
